// The keyword tokenizer.
#include "tbx_keywords.h"

#include <cstring>

#include "orb_text.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Appends the character starting at text[*pos] (all its bytes, never past
// the terminator) and advances *pos.
void take_char(int charset, const char* text, size_t* pos, std::string& out) {
    size_t n = 1 + static_cast<size_t>(orb_mb_len(charset, static_cast<unsigned char>(text[*pos])));
    for (size_t i = 0; i < n && text[*pos] != '\0'; ++i) out.push_back(text[(*pos)++]);
}

}  // namespace

int tbx_tokenizer::next(std::string& token) {
    token.clear();
    while (is_blank(text[pos])) ++pos;
    char c = text[pos];
    if (c == '\0') return 0;
    if (c == '=') {
        token.assign(1, '=');
        ++pos;
    } else if (c == '"') {
        take_char(charset, text, &pos, token);
        while (text[pos] != '\0' && text[pos] != '"') take_char(charset, text, &pos, token);
        if (text[pos] == '"') token.push_back(text[pos++]);
    } else if (c == '\'') {
        take_char(charset, text, &pos, token);
        for (;;) {
            while (text[pos] != '\0' && text[pos] != '\'') take_char(charset, text, &pos, token);
            if (text[pos] != '\'') break;
            token.push_back(text[pos++]);
            if (text[pos] != '\'') break;  // the closing quote
            token.push_back(text[pos++]);  // a doubled quote stays inside
        }
    } else {
        while (text[pos] != '\0' && !is_blank(text[pos]) && text[pos] != '=' &&
               text[pos] != '"' && text[pos] != '\'') {
            take_char(charset, text, &pos, token);
        }
    }
    if (token.size() > TBX_TOKEN_MAX) return -3;
    // The last token of the text loses a final ";".
    size_t rest = pos;
    while (is_blank(text[rest])) ++rest;
    if (text[rest] == '\0' && !token.empty() && token.back() == ';') {
        token.pop_back();
        if (token.empty()) return 0;
    }
    return 1;
}

std::string tbx_to_utf8(int charset, const std::string& token) {
    std::string s = token;
    if (charset != ORB_UTF8 && orb_convert_string(charset, ORB_UTF8, s) != 0) return token;
    return s;
}

bool tbx_keyword_is(const std::string& token, const char* ascii, const char* synonym1,
                    const char* synonym2) {
    if (ascii && token.size() == std::strlen(ascii)) {
        bool same = true;
        for (size_t i = 0; i < token.size() && same; ++i) {
            char a = token[i], b = ascii[i];
            if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
            if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
            same = a == b;
        }
        if (same) return true;
    }
    return (synonym1 && token == synonym1) || (synonym2 && token == synonym2);
}

std::string tbx_unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}
