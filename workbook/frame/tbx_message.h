// Coded messages and the message log.
//
// Every coded message of the library ("TABX-" five digits, a blank and a
// Japanese text) is created through tbx_message, so that one breakpoint (or
// the TABX_TRACE environment variable, which echoes each message to standard
// error) catches them all.  The templates below are the library's complete
// catalogue of coded messages; they are UTF-8 here and stored in the book's
// message buffer in the system code page (Shift-JIS), at most 6000 bytes;
// TABX_error_mesg converts them to the caller's character set.
//
// The message log is the utility layer's private diary in the book's private
// block: the latest 32 lines of at most 200 bytes, "ORB-%05d: ..." when a
// message number is pending.
#ifndef TBX_MESSAGE_H
#define TBX_MESSAGE_H

#include "tabx.h"

// Coded message templates (UTF-8).  Arguments are UTF-8 as well.
#define TBX_MSG_MEMORY "TABX-00002 メモリ不足です。処理を中断します。"
#define TBX_MSG_CANCELLED "TABX-00003 中断の指示により処理を中断します。"
#define TBX_MSG_NAME_TOO_LONG "TABX-00005 ファイル名が長すぎます。"
#define TBX_MSG_UNSUPPORTED "TABX-00900 サポート外のファイルです(\"%s\")。"
#define TBX_MSG_VERSION \
    "TABX-00901 呼び出し側(\"%s\")と共有ライブラリ側(\"2.0.4.0\")でバージョンが異なります。"
#define TBX_MSG_BOOK_SIZE "TABX-00902 構造体XLS_BOOKのサイズが異なります。(\"%s\")。"
#define TBX_MSG_KEYWORD "TABX-02200 サポート外のキーワードです(\"%s\")。"
#define TBX_MSG_CELL_NAME "TABX-02300 セル指定値が不正です(\"%s\")。"
#define TBX_MSG_EQUAL "TABX-02303 引数列のイコール(=)部分が不正です(\"%s\")。"
#define TBX_MSG_SHEET_NAME "TABX-02320 シート名が不正です(\"%s\")。"
#define TBX_MSG_BUFFER "TABX-03009 バッファサイズ(\"%d\")オーバー(\"%s\")。"
#define TBX_MSG_OPEN "TABX-03101 Excelファイルオープンエラー(\"%s\")。"
#define TBX_MSG_READ_2003 "TABX-03110 Excelファイル読み込みエラー(\"2003形式\")。"
#define TBX_MSG_WRITE "TABX-03121 Excelファイル書込みエラー(\"%s\")。"
#define TBX_MSG_INTERNAL "TABX-03600 内部処理エラー(\"%s\")。"
#define TBX_MSG_FORMULA "TABX-03610 数式を読み取れません(\"%s\")。"
#define TBX_MSG_MACRO "TABX-03620 マクロを読み取れません(\"%s\")。"
#define TBX_MSG_TOO_LONG "TABX-4000 book->log.error_info too long"

// Formats a coded message (printf-style, UTF-8 template and arguments) into
// the book's message buffer, converted to the system code page and cut to
// 6000 bytes.  Does not touch the error code.
void tbx_message(XLS_BOOK* book, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The book's private block is about to be released while a message may
// still follow (a failed open): remembers the caller's character set, so
// that the message still reaches the caller in it.
void tbx_message_before_release(XLS_BOOK* book);

// The last message in the caller's character set: converted again while the
// book has its private block; without one, as it was converted when written.
const char* tbx_returned_message(XLS_BOOK* book);

// Stores code as the book's error code and returns it (for
// "return tbx_fail(book, -3);").
int tbx_fail(XLS_BOOK* book, int code);

// The memory message and -2, for a failed allocation.
int tbx_fail_memory(XLS_BOOK* book);

// True when the book's message buffer holds a message.
bool tbx_has_message(const XLS_BOOK* book);

// ---------------------------------------------------------------------------
// Message log (needs a private block; without one these do nothing)
// ---------------------------------------------------------------------------

// Sets the pending message number for the next log line.
void tbx_log_pending(XLS_BOOK* book, int number);

// Appends one line built from the first line of detail (UTF-8) and the
// pending number, which is then cleared:
//   no pending number          "%s" (the detail)
//   a number not catalogued    "ORB-%05d: %s"
//   a catalogued number        "ORB-%05d: " + the catalogue text with the
//                              detail in place of its "%s" (or after it)
// The line is cut to 200 bytes; when 32 lines are held the oldest goes.
void tbx_log(XLS_BOOK* book, const char* detail);

// The number of log lines and line i (0 = oldest), or null.
int tbx_log_count(const XLS_BOOK* book);
const char* tbx_log_line(const XLS_BOOK* book, int i);

// The catalogue text of a message number, or null.
const char* tbx_log_catalogue(int number);

#endif
