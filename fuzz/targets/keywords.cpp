// The keyword texts of TABX_open_book: the tokenizer over any bytes, and the
// open itself in its default mode (CREATE: nothing is read or written).
// Texts that name a mode or a temporary workbook path are given to the
// tokenizer only, so that the open never touches the disk.
#include <cctype>
#include <cstdint>
#include <string>

#include "mfile.h"
#include "tabx.h"
#include "tbx_keywords.h"

namespace {

bool mentions(const std::string& text, const char* word) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find(word) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL below
    for (int cs = 1; cs <= 3; ++cs) {
        tbx_tokenizer tok(text.c_str(), cs);
        std::string token;
        while (tok.next(token) > 0) tbx_to_utf8(cs, token);
    }
    // "モード" in UTF-8, Shift-JIS and EUC-JP.
    if (!mentions(text, "MODE") && !mentions(text, "\xE3\x83\xA2\xE3\x83\xBC\xE3\x83\x89") &&
        !mentions(text, "\x83\x82\x81\x5B\x83\x68") && !mentions(text, "\xA5\xE2\xA1\xBC\xA5\xC9") &&
        !mentions(text, "TEMP_WORKBOOK")) {
        XLS_BOOK book;
        TABX_open_book(&book, text.c_str());
        TABX_error_mesg(&book);
        TABX_close_book(&book, "DESTROY");
    }
    mcloseall();
    return 0;
}
