// The keyword-argument texts of TABX_open_book, TABX_close_book and
// TABX_open_sheet: KEY=value tokens separated by blanks.
//
// Tokens:
//   - blanks (space, tab, CR, LF) separate tokens and are skipped;
//   - "=" is a token of its own, also without blanks around it;
//   - a token beginning with a double quote runs to the next double quote,
//     both quotes included, blanks inside kept, no escape; one beginning
//     with a single quote runs to the next single quote, a doubled single
//     quote inside staying part of it; a quote met inside another token ends
//     that token before the quote;
//   - multi-byte characters of the current character set are copied whole,
//     so a trail byte is never taken for a quote, a blank or "=";
//   - a ";" ending the last token of the text is dropped;
//   - a token is at most 4000 bytes.
#ifndef TBX_KEYWORDS_H
#define TBX_KEYWORDS_H

#include <cstddef>
#include <string>

enum { TBX_TOKEN_MAX = 4000 };

struct tbx_tokenizer {
    const char* text;
    size_t pos = 0;
    int charset = 1;  // character set whose lead bytes are honoured

    tbx_tokenizer(const char* t, int cs) : text(t ? t : ""), charset(cs) {}

    // Reads the next token.  1 with the token; 0 at the end of the text;
    // -3 for a token longer than 4000 bytes.
    int next(std::string& token);
};

// The token converted from the character set to UTF-8 (unchanged when it
// cannot be converted).
std::string tbx_to_utf8(int charset, const std::string& token);

// True when the UTF-8 token equals the ASCII name without regard to letter
// case, or one of the Japanese synonyms exactly (null-terminated list).
bool tbx_keyword_is(const std::string& token_utf8, const char* ascii,
                    const char* synonym1 = nullptr, const char* synonym2 = nullptr);

// Removes enclosing double quotes when the text both begins and ends with one.
std::string tbx_unquoted(const std::string& text);

#endif
