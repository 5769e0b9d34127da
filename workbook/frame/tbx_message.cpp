// Coded messages and the message log.
#include "tbx_message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "orb_text.h"
#include "platform.h"
#include "tbx_private.h"

namespace {

// Copies at most max bytes of text without cutting a character of the
// character set in two.
size_t cut_length(int charset, const char* text, size_t len, size_t max) {
    if (len <= max) return len;
    size_t i = 0;
    while (i < len) {
        size_t n = 1 + static_cast<size_t>(orb_mb_len(charset, static_cast<unsigned char>(text[i])));
        if (i + n > max) break;
        i += n;
    }
    return i;
}

struct catalogue_entry {
    int number;
    const char* text;
};

const catalogue_entry kCatalogue[] = {
    {0, "%s"},
    {1, "%s初期化エラー。処理を中断します。"},
    {2, "メモリ不足です。処理を中断します。"},
    {3, "引数が不正です(\"%s\")。処理を中断します。"},
    {4, "引数(\"%s\")が指定されていません。処理を中断します。"},
    {5, "引数が長すぎます。処理を中断します。"},
    {6, "不明なパラメータ名です(\"%s\")。処理を中断します。"},
    {7, "サポート外のキャラクタセットです(\"%s\")。処理を中断します。"},
    {8, "ファイル数が制限を超えました。処理を中断します。"},
    {100, "データソースファイルがオープンできません。処理を中断します。"},
    {200, "データソースDBMSに接続できません。処理を中断します。"},
    {900, "サポート外のファイルです。処理を中断します。"},
    {901, "パスワード保護されたファイルです。処理を中断します。"},
    {1000, "処理が終了しました。"},
    {2000, "コマンドが不正です。"},
    {2001, "SQL文が不正です。"},
    {2002, "サポート外のSQL文です。"},
    {3000, "Officeファイルオープンエラー(\"%s\")。処理を中断します。"},
    {3001, "一時ファイルオープンエラー。処理を中断します。"},
    {3002, "Officeファイル読み込みエラー。処理を中断します。"},
    {3003, "Officeファイル書込みエラー。処理を中断します。"},
    {3004, "一時ファイル読み込みエラー。処理を中断します。"},
    {3005, "一時ファイル書込みエラー。処理を中断します。"},
    {3006, "マスクファイル書込みエラー。処理を中断します。"},
    {3007, "Officeファイル(ZIP)解凍エラー。処理を中断します。"},
    {3010, "サポート外のファイル形式です。処理を中断します。"},
    {3100, "Excelファイルオープンエラー(\"%s\")。処理を中断します。"},
    {3101, "カードファイルオープンエラー(\"%s\")。処理を中断します。"},
    {3102, "カードファイル読み込みエラー(\"%s\")。処理を中断します。"},
    {3103, "Excelファイル書込みエラー(\"%s\")。処理を中断します。"},
    {3104, "Excelファイル書込みエラー(\"2003形式\")。処理を中断します。"},
    {3105, "イメージファイルオープンエラー(\"%s\")。処理を中断します。"},
    {3106, "サポート外のファイル形式です(\"%s\")。処理を中断します。"},
    {3110, "指定されたシートが見つかりませんでした。処理を中断します。"},
    {3500, "SQLエラー(%s)。処理を中断します。"},
    {4000, "内部処理バッファ(\"%s\")がオーバーフローしました。処理を中断します。"},
    {4090, "内部処理エラー(\"%s\")。"},
    {4100, "圧縮／解凍処理でエラーが発生しました(\"%s\")。処理を中断します。"},
};

// The caller's character set of a book whose private block went during the
// current call on this thread (see tbx_message_before_release).
thread_local const XLS_BOOK* released_book = nullptr;
thread_local int released_charset = ORB_SJIS;

int message_charset(const XLS_BOOK* book) {
    if (book->priv) return tbx_charset(book);
    return book == released_book ? released_charset : ORB_SJIS;
}

// The last message of this thread in UTF-8, as written: a path with
// characters code page 932 lacks reaches a UTF-8 caller whole, although
// error_info holds '?' for them.  Used while error_info still holds what
// was made of it.
thread_local const XLS_BOOK* utf8_book = nullptr;
thread_local std::string utf8_text, utf8_info;

// error_info (system code page) into error_mesg in the character set.
void convert_message(XLS_BOOK* book, int charset) {
    if (charset == ORB_UTF8 && book == utf8_book && utf8_text.size() < TABX_RETURNED_BUF &&
        utf8_info.compare(0, std::string::npos, book->error_info) == 0) {
        std::memcpy(book->error_mesg, utf8_text.c_str(), utf8_text.size() + 1);
        return;
    }
    const char* end = static_cast<const char*>(std::memchr(book->error_info, '\0', TABX_MESSAGE_BUF));
    size_t len = end ? static_cast<size_t>(end - book->error_info) : TABX_MESSAGE_BUF;
    if (len >= TABX_MESSAGE_LEN) {
        std::snprintf(book->error_mesg, TABX_RETURNED_BUF, "%s", TBX_MSG_TOO_LONG);
    } else {
        std::memcpy(book->error_mesg, book->error_info, len);
        book->error_mesg[len] = '\0';
    }
    int n = static_cast<int>(std::strlen(book->error_mesg));
    // Too large a result or no memory: the message stays in the system code page.
    orb_convert(ORB_SJIS, charset, book->error_mesg, &n, TABX_RETURNED_BUF);
}

}  // namespace

void tbx_message_before_release(XLS_BOOK* book) {
    if (!book || !book->priv) return;
    released_book = book;
    released_charset = tbx_charset(book);
}

const char* tbx_returned_message(XLS_BOOK* book) {
    if (book->priv) convert_message(book, tbx_charset(book));
    return book->error_mesg;
}

void tbx_message(XLS_BOOK* book, const char* format, ...) {
    if (!book) return;
    char small[512];
    std::string text;
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    try {
        if (n < 0) {
            text = format;
        } else if (static_cast<size_t>(n) < sizeof small) {
            text.assign(small, static_cast<size_t>(n));
        } else {
            text.resize(static_cast<size_t>(n) + 1);
            std::vsnprintf(text.data(), text.size(), format, ap2);
            text.resize(static_cast<size_t>(n));
        }
        utf8_book = nullptr;
        utf8_text = text;
        if (orb_convert_string(ORB_UTF8, ORB_SJIS, text) != 0) text = "TABX-00002";
        if (text.size() < TABX_MESSAGE_LEN) {
            utf8_info = text;
            utf8_book = book;
        }
    } catch (...) {
        text = "TABX-00002";
        utf8_book = nullptr;
    }
    va_end(ap2);
    // At most the usable size; a message of 6000 bytes or more keeps exactly
    // 6000, so that TABX_error_mesg still recognises it as too long.
    size_t len = text.size() < TABX_MESSAGE_LEN ? text.size() : TABX_MESSAGE_LEN;
    std::memcpy(book->error_info, text.data(), len);
    book->error_info[len] = '\0';
    convert_message(book, message_charset(book));
    std::string trace;
    if (plat_getenv("TABX_TRACE", trace)) std::fprintf(stderr, "tabx: %s\n", format);
}

int tbx_fail(XLS_BOOK* book, int code) {
    if (book) book->error_code = code;
    return code;
}

int tbx_fail_memory(XLS_BOOK* book) {
    tbx_message(book, TBX_MSG_MEMORY);
    return tbx_fail(book, -2);
}

bool tbx_has_message(const XLS_BOOK* book) { return book && book->error_info[0] != '\0'; }

void tbx_log_pending(XLS_BOOK* book, int number) {
    if (tbx_private* p = tbx_priv(book)) p->pending = number;
}

const char* tbx_log_catalogue(int number) {
    for (const catalogue_entry& e : kCatalogue) {
        if (e.number == number) return e.text;
    }
    return nullptr;
}

void tbx_log(XLS_BOOK* book, const char* detail) {
    tbx_private* p = tbx_priv(book);
    if (!p) return;
    // Only the first line of the detail, at most 200 bytes.
    std::string d(detail ? detail : "");
    size_t lf = d.find('\n');
    if (lf != std::string::npos) d.resize(lf);
    d.resize(cut_length(ORB_UTF8, d.data(), d.size(), TBX_LOG_LINE_LEN));

    std::string line;
    if (p->pending < 0) {
        line = d;
    } else {
        char head[32];
        std::snprintf(head, sizeof head, "ORB-%05d: ", p->pending);
        line = head;
        const char* text = tbx_log_catalogue(p->pending);
        if (!text) {
            line += d;
        } else {
            const char* slot = std::strstr(text, "%s");
            if (slot) {
                line.append(text, static_cast<size_t>(slot - text));
                line += d;
                line += slot + 2;
            } else {
                line += text;
                line += d;
            }
        }
    }
    p->pending = -1;
    line.resize(cut_length(ORB_UTF8, line.data(), line.size(), TBX_LOG_LINE_LEN));

    if (p->log_count == TBX_LOG_LINES) {
        std::memmove(p->log[0], p->log[1], sizeof p->log[0] * (TBX_LOG_LINES - 1));
        --p->log_count;
    }
    std::memcpy(p->log[p->log_count], line.data(), line.size());
    p->log[p->log_count][line.size()] = '\0';
    ++p->log_count;
}

int tbx_log_count(const XLS_BOOK* book) {
    const tbx_private* p = tbx_priv(book);
    return p ? p->log_count : 0;
}

const char* tbx_log_line(const XLS_BOOK* book, int i) {
    const tbx_private* p = tbx_priv(book);
    if (!p || i < 0 || i >= p->log_count) return nullptr;
    return p->log[i];
}
