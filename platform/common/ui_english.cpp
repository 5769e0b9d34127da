// The English forms of the front end's messages.  Every Japanese text that
// reaches the user through ui_text, ui_format or ui_with_reason has its row
// here (a test reads the sources to make sure), with the same placeholders
// in the same order.
#include "ui.h"

namespace {

const ui_translation TABLE[] = {
    // The comparison run and the dumps.
    {"ファイルオープンエラー時にエラーが発生しました。(%s)", "Cannot open the file (%s)"},
    {"読み取りパスワードが設定されているファイルはサポート対象外です。(%s)",
     "A file protected by a password to open is not supported (%s)"},
    {"サポート対象外のファイルです(%s)。", "Unsupported file (%s)"},
    {"フォルダ比較プログラム起動エラー", "Cannot start the folder-compare program"},
    {"ファイルのパスが長すぎます。(%s)", "The file's path is too long (%s)"},
    {"ファイル名から出力フォルダ名を作れません。(%s)", "No output folder name can be made from the file name (%s)"},
    {"出力フォルダのパスが長すぎます。(%s)", "The output folder's path is too long (%s)"},
    {"出力フォルダを作成できません(既にあるフォルダは使いません)。(%s)",
     "Cannot create the output folder (an existing folder is not used) (%s)"},
    {"一時フォルダ(TEMP)のパスが長すぎるか空です。(%s)", "The temporary folder (TEMP) is empty or its path too long (%s)"},
    {"出力フォルダを作成できません。(%s)", "Cannot create the output folder (%s)"},
    {"出力フォルダを削除できません。(%s)", "Cannot remove the output folder (%s)"},
    {"一時テキストファイル(%s)作成エラー。再度実行しますか？", "Cannot create the temporary text file (%s). Try again?"},
    {"一時テキストファイル(%s)作成エラー。", "Cannot create the temporary text file (%s)"},
    {"2003WorkBook一時ファイル作成エラー。(%s)", "Cannot create the temporary copy of the 97-2003 workbook (%s)"},
    {"TABX-00002 メモリ不足です。処理を中断します。", "TABX-00002 Out of memory; the work is stopped."},
    {"Excelブックではありません。%s", "Not an Excel workbook: %s"},
    {"ERROR:一時ファイル(%s)作成エラー", "ERROR: cannot create the temporary file (%s)"},
    {"設定ファイル(%s)を保存できません。", "Cannot save the settings file (%s)"},
    {"設定を保存しました。(%s)", "Settings saved (%s)"},

    {"種類の異なるファイルは比較できません(%s、%s)。", "Cannot compare files of different kinds (%s, %s)"},

    // Two folders.
    {"フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。(%s、%s)",
     "A folder cannot be compared with a file: name two folders or two files (%s, %s)"},
    {"フォルダを読めません。(%s)", "Cannot read the folder (%s)"},
    {"リンクはたどりません(フォルダへのリンクか、フォルダの外を指すリンクです)。(%s)",
     "Link not followed (it leads to a folder or out of the folder) (%s)"},
    {"出力フォルダのパスが長すぎるか、作成できません。(%s)",
     "The output folder's path is too long or cannot be created (%s)"},
    {"比較できない文書がありました(%d件)。", "Documents that cannot be compared: %d."},
    {"%s のみに存在: %s", "Only in %s: %s"},
    {"ファイル %s の名前が %s に変わりました", "File %s renamed to %s"},
    {"文書", "documents"},
    {"同じフォルダを指定することはできません。", "The same folder cannot be given twice."},
    {"比較するファイルかフォルダを選んでください", "Choose a file or a folder to compare"},

    // Reasons, after a message.
    {"ファイルがありません", "no such file"},
    {"アクセス権がありません", "permission denied"},
    {"フォルダです", "is a folder"},
    {"通常のファイルではありません", "not a regular file"},
    {"開けません", "cannot be opened"},
    {"空のファイルです", "empty file"},
    {"文書としては短すぎます", "too short to be a document"},
    {"zipパッケージではありません", "not a zip package"},
    {"途中で切れています", "truncated"},
    {"Excel 97-2003形式ではありません", "not an Excel 97-2003 workbook"},
    {"メモリが足りません", "out of memory"},
    {"扱える大きさを超えています", "larger than can be handled"},
    {"内容が壊れています", "damaged content"},

    // The command line.
    {"テキストファイルを読めません。(%s)", "Cannot read the text file (%s)"},
    {"一時フォルダを作成できません。(%s)", "Cannot create the temporary folder (%s)"},
    {"再試行しません(標準入力が端末ではありません)。", "Not trying again (standard input is not a terminal)."},
    {"再試行しますか? [y/N] ", "Try again? [y/N] "},
    {"シート", "sheet"},
    {"ファイル %s と %s は異なります", "Files %s and %s differ"},
    {"パスワード付きのため比較できません", "password-protected: cannot be compared"},
    {"サポート対象外のファイルのため比較できません", "unsupported file: cannot be compared"},
    {"読めないため比較できません", "unreadable, cannot be compared"},

    // The Windows program's compare program and its settings.
    {"フォルダ比較プログラムのパスに設定ファイル(Vergle.ini)に保存できない文字が含まれています。このパスは今回は使いますが、保存はしません。(%s)",
     "The compare program's path holds characters the settings file (Vergle.ini) cannot keep: it is used for this run but not saved. (%s)"},
    {"バッチファイル(.bat/.cmd)はフォルダ比較プログラムに指定できません。(%s)",
     "A batch file (.bat/.cmd) cannot be the folder-compare program. (%s)"},

    // The report.
    {"レポートを書き込めません。(%s)", "Cannot write the report. (%s)"},

    // Macro projects.
    {"マクロを比較できません。%s", "The macros cannot be compared. %s"},
    {"マクロを比較できません。(%s)", "The macros cannot be compared. (%s)"},

    // A run's own checks.
    {"フォルダ比較プログラムがシグナル(%d)で終了しました。", "The folder-compare program was ended by signal %d."},
    {"ファイルが読み込み中に変更されました。(%s)", "The file changed while it was read. (%s)"},
    {"一時ファイル(%s)作成エラー。", "Cannot create the temporary file (%s)."},

    // Usage errors.
    {"(使い方は vergle --help)", "(vergle --help shows the usage)"},
    {"比較するファイルを2つ指定してください(指定されたのは%d個)。", "name two files to compare (%d given)"},
    {"--text と --textconv にはファイルを1つ指定してください(指定されたのは%d個)。",
     "--text and --textconv take one file (%d given)"},
    {"不明なオプションです: %s", "unknown option %s"},
    {"%s には値が必要です。", "%s needs a value"},
    {"プログラムのパスが空か、%dバイト以上か、改行や制御文字を含んでいます。",
     "the program path is empty, %d bytes or longer, or holds a line break or control character"},
    {"--color には auto、always、never のどれかを指定してください(%s ではなく)。",
     "--color takes auto, always or never, not %s"},
    {"-U には行数を指定してください(%s ではなく)。", "-U takes a number of lines, not %s"},
    {"--label は2回までです。", "--label is given at most twice"},
    {"--encoding には utf-8 か cp932 を指定してください。", "--encoding takes utf-8 or cp932"},
    {"-q、-U、--label は組み込みの差分表示のためのもので、--program とは使えません。",
     "-q, -U and --label are for the built-in view, not for --program"},
    {"標準入力(-)は一度しか読めません。", "standard input (-) can be read only once"},
    {"--html は --text と一緒には使えません。", "--html cannot be used with --text"},
};

}  // namespace

const ui_translation* ui_translations(size_t* count) {
    *count = sizeof TABLE / sizeof TABLE[0];
    return TABLE;
}
