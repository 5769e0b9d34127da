// The text of an Excel workbook (.xls, .xlsx, .xlsm) for the comparison:
// one file per sheet named after the sheet, or one file "全シート" for the
// whole book; each row one line of displayed cell texts, each followed by a
// tab; with TEXTBOX the texts of shapes and comments after a header line.
// The workbook is read through the workbook library's exported interface.
#ifndef VERGLE_WORKBOOK_DUMP_H
#define VERGLE_WORKBOOK_DUMP_H

#include <string>
#include <unordered_map>
#include <vector>

#include "ui.h"

// Writes the workbook's text into req.output_folder (created, one level).
// 0, or -1 after the failure has been reported.
int dump_workbook_text(const dump_request& req);

// The file name of a sheet's text in the output folder, in UTF-8 with every
// character of the sheet's name that a file name may hold (the same name on
// every system): blanks become "_", and so does every character that no
// Windows file name may hold (separators, ":", "*", "?", quotes, "<", ">",
// "|", control characters); a name ending in a dot gets a "_" appended and
// a device name ("CON", "LPT1", ...) a leading "_", so that every sheet gets
// a file of its own inside the output folder.
std::string sheet_file_name(const std::string& sheet_name_utf8);

// The file names given in one folder.  Names are found again through a key
// that every two names the file system takes for one name share (ASCII
// letters in one case; characters that have a case, and the letters "i"
// and "s", which such characters may fold to, as one mark; caseless ones,
// kana and kanji among them, as they are), and compared within their key as
// the file system compares them: a book of 40,000 sheets costs 40,000
// lookups, not 800 million comparisons.
class name_set {
public:
    bool taken(const std::string& name) const;
    void add(const std::string& name);
    // The next number to try after a base name, so that many sheets of one
    // name do not each count up from 2.
    int& next(const std::string& base);

private:
    static std::string key(const std::string& name);
    std::unordered_map<std::string, std::vector<std::string>> used_;
    std::unordered_map<std::string, int> next_;
};

// A file name made distinct from those already used in a folder: a name
// that coincides (as the file system compares names) gets "(2)", "(3)", ...;
// the name chosen is added to used.
std::string distinct_file_name(const std::string& name, name_set& used);

#endif
