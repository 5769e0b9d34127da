// Word and PowerPoint text dump: unpacks a .docx/.docm or .pptx/.pptm
// package into memory files, walks the document body or each slide with a
// small tag walker, and writes the visible text into the output folder: one
// file per page ("ページ001", ...) or slide ("スライド000", ...), or one for
// the whole document ("全文", "全スライド").  File contents are CP932 with
// CR LF line ends; each paragraph is one line, each table row one line of
// tab-separated cells.
#ifndef OFX_H
#define OFX_H

#include <cstddef>
#include <string>

#include "ui.h"

enum {
    OFX_PATH_SIZE = 4096,  // input path and output folder buffers (UTF-8)
    OFX_MAX_DEPTH = 100,  // open elements the walker keeps
    OFX_TAG_MAX = 255,    // bytes of a tag that count
    OFX_NAME_MAX = 80,    // longest tag name accepted
    OFX_WORK_EXTRA = 8192,
};

// Walk modes: the part a walk reads.
enum {
    OFX_MODE_DOCX = 200,            // the document body
    OFX_MODE_DOCX_COMMENTS = 201,   // comments: each introduced by "【コメント】"
    OFX_MODE_DOCX_HEADER = 202,     // a header
    OFX_MODE_DOCX_FOOTER = 203,     // a footer
    OFX_MODE_DOCX_FOOTNOTES = 204,  // footnotes: each introduced by "【脚注】"
    OFX_MODE_DOCX_ENDNOTES = 205,   // endnotes: each introduced by "【文末脚注】"
    OFX_MODE_DOCX_PARAGRAPH = 206,  // one paragraph range (ofx_docx_paragraph_text)
    OFX_MODE_PPTX = 302,            // a slide
    OFX_MODE_PPTX_NOTES = 303,      // a notes page: the text of its body placeholder
    OFX_MODE_PPTX_COMMENTS = 304,   // a slide's comments: each introduced by "【コメント】"
    OFX_MODE_PPTX_PARAGRAPH = 305,  // one paragraph range (ofx_pptx_paragraph_text)
};

// The line that separates a page's or slide's own text from its comments,
// notes, headers and footers (TEXTBOX on), as in the workbook dump.
#define OFX_EXTRA_SEPARATOR "★★★以下オートシェイプ・コメント文字列---------------------------------------------->"


// The output file being written (opaque; buffered, LF written as CR LF).
struct ofx_stream;

// What the dump knows of the whole document beyond the part it walks
// (opaque; set by the extraction entries, null for a part walked alone).
struct ofx_document;

// One dump's state; a stack record owned by the caller, set up by ofx_init.
struct OFX_CONTEXT {
    char input_path[OFX_PATH_SIZE];     // the document
    char output_folder[OFX_PATH_SIZE];  // receives the text files
    int page_number;   // pages (Word) or slides (PowerPoint) begun so far
    int line_count;    // texts and line breaks written to the current file
    int grid_columns;  // w:gridCol elements seen since the last table end
    ofx_stream* out;   // the current output file; writes go nowhere until one is open
    int work_size;     // size of the part the walker works on, plus OFX_WORK_EXTRA
    bool split_pages;  // ALLPAGE off: one file per page or slide
    bool skip_shapes;  // TEXTBOX off: text of shapes and VML pictures is left out
    vergle_ui* ui;     // where file errors are shown (may be null)
    int out_charset;   // the files' text: 1 code page 932 (set by ofx_init), 3 UTF-8
    // The charts of the part being walked: writes into lines the text of
    // the chart that relationship id names (UTF-8, each line ending "\n";
    // empty when there is none) and returns 0, or -2 for memory.  Set by
    // the dump around each walk; null (ofx_init) when charts are not read.
    int (*chart_text)(void* source, const char* id, std::string* lines);
    void* chart_source;
    ofx_document* doc; // the document being dumped; null when a part is walked alone
};

// Clears both paths and the counters; split pages on, skip shapes off, no
// output file.  0, or -2 when the output buffer cannot be allocated.
int ofx_init(OFX_CONTEXT* ctx);

// Closes an open output file and releases what ofx_init allocated.  0.
int ofx_term(OFX_CONTEXT* ctx);

// The front-end dumps (the comparison run calls them): create the output
// folder, write the text, show failures through req.ui ("ERROR:ofx_docx_pptx()
// rc=%d (%s)", "ERROR:ofx_read_pptx() rc=%d (%s)" with the document's path,
// "ERROR:一時ファイル(%s)作成エラー"); an interrupt of the run
// (req.ui->interrupted()) ends them at the next slide or inflated piece
// without a message.  Return 0, or -1 after the failure has been shown.
int dump_word_text(const dump_request& req);
int dump_powerpoint_text(const dump_request& req);

// The extraction entries: unpack the package at ctx->input_path and write the
// text of its main document (Word; the part the package's relationships name,
// "word/document.xml" when they name none) or of every slide in the order the
// presentation shows them, hidden slides included (PowerPoint; without a slide
// list, every "ppt/slides/slideN.xml" in numeric order) into
// ctx->output_folder.  With skip shapes off, the separator line follows the
// body, then the comments, headers, footers, footnotes and endnotes (Word) or
// each slide's notes and comments (PowerPoint).  Return 0, or:
//   -2 memory; -1 a part that cannot be read or XML that cannot be walked;
//   -101 an output file that cannot be created (shown through ctx->ui);
//   -103 an output file that cannot be written completely;
//   -9 elements nested more than 100 deep; the unpacking codes of
//   orb_unzip_package.
int ofx_docx_pptx(OFX_CONTEXT* ctx);
int ofx_read_pptx(OFX_CONTEXT* ctx);

// Walks one XML part of len bytes (it also ends at a NUL byte) and writes its
// text to the current output file.  mode: one of the walk modes above for
// the part's kind (OFX_MODE_DOCX... for ofx_walk_docx).
// 0; -1 an end tag with nothing open or a tag name of 81 bytes or more; -9
// more than 100 open elements; -101 a page file that cannot be created; -103
// a short write; -2 memory.
int ofx_walk_docx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len);
int ofx_walk_pptx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len);

// Writes the texts of one paragraph: the range from its start to the '>' of
// its end tag (inclusive), len bytes, without a line feed after it.  0, -2 or
// -103.
int ofx_docx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len);
int ofx_pptx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len);

// The output file of a page or slide: "ページ%03d" (Word) or "スライド%03d"
// (PowerPoint) with the number, or "全文" / "全スライド" when number < 0, in
// the platform's path encoding, joined to the output folder.
// 0, or -9 when the path does not fit out.
int ofx_output_path(const OFX_CONTEXT* ctx, bool word, int number, char* out, size_t size);

// Makes ctx->out the file at path (closing the previous one).  0; -101 after
// showing "ERROR:一時ファイル(%s)作成エラー"; -103 when the previous file
// could not be written completely.
int ofx_open_output(OFX_CONTEXT* ctx, const char* path);

// Writes the line that introduces a part of this mode when the part as a
// whole is one item: "【ヘッダー】", "【フッター】", "【ノート】"; nothing
// for other modes.  0, -2 or -103.
int ofx_write_label(OFX_CONTEXT* ctx, int mode);

// Flushes and closes the current output file.  0, or -103 on a short write.
int ofx_close_output(OFX_CONTEXT* ctx);

#endif
