// The XML reader under the walker and the small parts (numbering, styles,
// settings, diagram data, relationships): a tokenizer that steps from tag to
// tag without validating, and the namespace scope that tells what a prefix
// stands for.  Names are matched by namespace URI, never by prefix: a
// document may write its body as <x:p> when x names the wordprocessing
// namespace.  A prefix used without any declaration stands for the
// namespace it conventionally names, so that fragments and sloppy producers
// still read.
//
// Cost: every byte is looked at a bounded number of times; each namespace
// declaration is pushed and popped once, and a lookup is one hash probe, so
// that time stays linear in declarations, attributes and nesting.
#ifndef OFX_XML_H
#define OFX_XML_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml_text.h"

// The namespaces the readers know; OFX_NS_NONE is no namespace at all (an
// unprefixed name without a default namespace), OFX_NS_OTHER any other URI.
enum ofx_ns : unsigned char {
    OFX_NS_NONE,
    OFX_NS_OTHER,
    OFX_NS_W,       // wordprocessing main
    OFX_NS_A,       // drawing main
    OFX_NS_P,       // presentation main
    OFX_NS_MC,      // markup compatibility
    OFX_NS_P188,    // presentation comments (2018)
    OFX_NS_M,       // Office Math
    OFX_NS_R,       // officeDocument relationships (attributes r:id, r:dm)
    OFX_NS_V,       // VML
    OFX_NS_W14,     // wordprocessing 2010
    OFX_NS_A14,     // drawing 2010
    OFX_NS_DGM,     // diagram (SmartArt)
    OFX_NS_C,       // chart
    OFX_NS_PKG_REL, // package relationships
    OFX_NS_CT,      // content types
    OFX_NS_XML,     // the xml prefix
};

class ofx_xml {
public:
    enum token {
        START,    // a start tag or an empty-element tag (empty() tells)
        END,      // an end tag, or right after the START of an empty element
        TEXT,     // character data between tags, or a CDATA section (cdata())
        DONE,     // the end of the part, also inside an unfinished construct
        BAD_END,  // an end tag with nothing open
    };

    // The part ends at len bytes or at its first NUL byte.
    ofx_xml(const char* xml, size_t len);

    token next();

    // START and END: the tag from its '<' to its '>'.
    const char* tag() const { return tag_; }
    const char* tag_close() const { return close_; }
    bool empty() const { return empty_; }
    std::string_view qname() const { return qname_; }
    std::string_view local() const { return local_; }
    ofx_ns ns() const { return ns_; }
    // Elements open: after a START its element counts (also an empty
    // one), after an END its element no longer does.
    size_t depth() const { return open_.size() + (pending_end_ ? 1 : 0); }

    // The value of attribute `local` of the current START in namespace ns
    // (OFX_NS_NONE: an unprefixed attribute), references resolved.  False
    // when the tag has none.
    bool attr(ofx_ns ns, std::string_view local, std::string* value) const;

    // TEXT: the raw bytes (references unresolved unless cdata()).
    const char* text_begin() const { return text_b_; }
    const char* text_end() const { return text_e_; }
    bool cdata() const { return cdata_; }
    // Appends the TEXT's characters, references resolved.
    void append_text(std::string& out) const;

    // The namespace a prefix stands for in the current scope.
    ofx_ns resolve(std::string_view prefix) const;

private:
    struct open_element {
        unsigned declared;  // namespace declarations this element pushed
    };
    void declare();
    void undeclare(unsigned n);
    void name_parts();

    const char* p_;
    const char* end_;
    const char* tag_ = nullptr;
    const char* close_ = nullptr;
    const char* text_b_ = nullptr;
    const char* text_e_ = nullptr;
    bool cdata_ = false;
    bool empty_ = false;
    bool pending_end_ = false;  // the END of an empty element comes next
    std::string_view qname_, local_;
    ofx_ns ns_ = OFX_NS_NONE;
    std::vector<open_element> open_;
    std::vector<std::string> pushed_;  // prefixes in the order they were declared
    std::unordered_map<std::string, std::vector<ofx_ns>> scope_;
    unsigned last_declared_ = 0;
    // The last two prefixes resolved (most elements of a part share one or
    // two), forgotten whenever a declaration comes or goes.
    struct resolved {
        std::string prefix;
        ofx_ns ns;
        bool valid;
    };
    mutable resolved resolved_[2] = {{std::string(), OFX_NS_NONE, false}, {std::string(), OFX_NS_NONE, false}};
};

#endif
