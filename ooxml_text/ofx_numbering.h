// List numbers as Word shows them: the numbering part (abstract numbering
// definitions, their nine levels, numbering instances with their level and
// start overrides), the paragraph styles that carry numbering or "page
// break before", and the counters that give each numbered paragraph its
// number in document order.
//
// Counting follows the office program: instances of one abstract
// definition share their counters (a list continued under another instance
// goes on counting); an instance with a start override restarts the
// overridden levels the first time it is used; a level restarts when a
// higher level is used (w:lvlRestart names the highest level that does not
// restart it; 0 never restarts); a level that has not been used yet shows
// its start value in the texts of deeper levels; w:isLgl shows every level
// of the text in decimal digits.
#ifndef OFX_NUMBERING_H
#define OFX_NUMBERING_H

#include <map>
#include <set>
#include <string>
#include <vector>

// What a paragraph's own properties say (w:pPr).
struct ofx_paragraph_props {
    std::string style;           // w:pStyle, "" when none
    bool has_num_id = false;     // w:numPr/w:numId
    long num_id = 0;
    bool has_ilvl = false;       // w:numPr/w:ilvl
    long ilvl = 0;
    int page_break_before = -1;  // w:pageBreakBefore: 1, 0, or -1 when not given
};

class ofx_numbering {
public:
    // Reads the numbering and styles parts (either may be missing: null or
    // empty).  Damaged XML reads as far as it goes.
    void load(const char* numbering, size_t numbering_len, const char* styles, size_t styles_len);

    // The label of the next paragraph with these properties, counted: its
    // number as shown followed by the level's suffix (a tab, a blank or
    // nothing); "" for a paragraph that is not numbered or shows nothing.
    std::string label(const ofx_paragraph_props& p);

    // Whether the paragraph starts on a new page, its style included.
    bool page_break_before(const ofx_paragraph_props& p) const;

    struct counts {
        long value[9] = {0};
        bool started[9] = {false};
    };
    using count_state = std::map<long, counts>;

    // Takes the counts so far away (another story, a header or the notes,
    // counts on its own) and puts them back.
    count_state take_counts() {
        count_state s;
        s.swap(states_);
        return s;
    }
    void put_counts(count_state s) { states_.swap(s); }

    bool empty() const { return nums_.empty() && styles_.empty(); }

private:
    struct level {
        long start = 0;
        std::string format = "decimal";
        std::string custom;       // the pattern of a "custom" format
        std::string text;         // w:lvlText
        long restart = -1;        // w:lvlRestart; -1 when not given
        bool legal = false;       // w:isLgl
        std::string suffix = "\t";
        std::string style;        // w:pStyle: the paragraph style this level belongs to
    };
    struct abstract_num {
        std::vector<level> levels = std::vector<level>(9);
        std::string num_style_link;  // w:numStyleLink
    };
    struct num {
        long abstract_id = -1;
        std::map<int, long> start_override;
        std::map<int, level> level_override;
        bool used = false;
    };
    struct style {
        std::string based_on;
        bool has_num_id = false;
        long num_id = 0;
        bool has_ilvl = false;
        long ilvl = 0;
        int page_break_before = -1;
    };
    void read_numbering(const char* xml, size_t len);
    void read_styles(const char* xml, size_t len);
    // The abstract definition of an instance, through numbering-style links.
    long abstract_of(long num_id) const;
    const level& level_of(const num& n, long abstract_id, int ilvl) const;
    long start_of(const num& n, long abstract_id, int ilvl) const;
    // Follows w:basedOn from a style: the first that says f(style) != -1.
    // Each style's answer is kept in memo, so that a long chain of styles
    // is followed once, not once per paragraph.
    template <typename F>
    long inherited(const std::string& style_id, F f, std::map<std::string, long>& memo) const;

    std::map<long, abstract_num> abstracts_;
    std::map<long, num> nums_;
    std::map<std::string, style> styles_;
    std::string default_style_;
    count_state states_;
    mutable std::map<std::string, long> num_memo_, ilvl_memo_, break_memo_;
};

#endif
