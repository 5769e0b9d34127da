// Text helpers shared by every Open XML reader (and the writer): escaping and
// unescaping of element text, and folding of CR LF pairs, which work in place
// on a zero-terminated byte string; and for the readers that take a part
// apart themselves (the worksheet scanner, the Word and PowerPoint walker,
// the chart reader) the end of a tag and character data with its
// references resolved.
#ifndef XML_TEXT_H
#define XML_TEXT_H

#include <string>

// Conversion modes of xml_escape.
enum {
    XML_UNESCAPE = 0,      // "&lt;" to "<" and the other known forms
    XML_ESCAPE = 1,        // escape; line breaks become character references
    XML_ESCAPE_KEEP_LF = 2 // escape; line breaks stay as they are
};

// Converts text in place between its escaped form and plain text.
//   mode    XML_UNESCAPE, XML_ESCAPE or XML_ESCAPE_KEEP_LF.
//   text    the bytes (written): on success the converted text, terminated.
//           In the escaping modes the buffer must have room for the result
//           and its terminator (up to seven bytes per input byte).
//   length  in: the text's length in bytes; out (written): the new length.
// Returns 0; -2 when the work buffer cannot be allocated; -1 when the result
// did not fit the work buffer after 99 attempts; -3 for an unknown mode, a
// missing text or a negative length.  On failure the text is unchanged.
int xml_escape(int mode, char* text, int* length);

// Removes the CR of every CR LF pair that stands at a character position
// (trail bytes of the character set's multi-byte characters are stepped
// over).  charset: 1 Shift-JIS, 3 UTF-8 (the Open XML readers pass 3).
// Lone CRs and LFs stay.  Always returns 0.
int fold_crlf(int charset, char* text);

// The '>' that ends a tag whose name starts at p, passing over quoted
// attribute values (a '>' may stand unescaped inside one); nullptr when the
// text ends first.
inline const char* xml_tag_end(const char* p, const char* end) {
    char quote = 0;
    for (; p < end; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return p;
        }
    }
    return nullptr;
}

// Appends one character as UTF-8; nothing for what no XML text holds (NUL,
// a surrogate, U+FFFE, U+FFFF, past U+10FFFF).
void xml_append_char(std::string& out, unsigned long cp);

// Appends bytes as they stand (CDATA) but for U+FFFE and U+FFFF (EF BF BE,
// EF BF BF), which no document may hold and the dumps use as marks of their
// own.
void xml_append_raw(std::string& out, const char* a, const char* b);

// Appends character data with its references resolved: the five named
// entities and decimal and hexadecimal character references (one to a
// surrogate, U+FFFE, U+FFFF or past U+10FFFF gives nothing); anything else,
// a reference to NUL included, stays as written.  Raw U+FFFE and U+FFFF are
// left out as above.
void xml_append_text(std::string& out, const char* p, const char* end);

#endif
