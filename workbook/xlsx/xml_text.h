// Text helpers shared by every Open XML reader (and the writer): escaping and
// unescaping of element text, and folding of CR LF pairs.  Both work in place
// on a zero-terminated byte string and know nothing of XML structure.
#ifndef XML_TEXT_H
#define XML_TEXT_H

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

#endif
