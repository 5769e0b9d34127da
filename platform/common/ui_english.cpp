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

    // The command line.
    {"テキストファイルを読めません。(%s)", "Cannot read the text file (%s)"},
    {"一時フォルダを作成できません。(%s)", "Cannot create the temporary folder (%s)"},
    {"再試行しません(標準入力が端末ではありません)。", "Not trying again (standard input is not a terminal)."},
    {"再試行しますか? [y/N] ", "Try again? [y/N] "},
    {"シート", "sheet"},
};

}  // namespace

const ui_translation* ui_translations(size_t* count) {
    *count = sizeof TABLE / sizeof TABLE[0];
    return TABLE;
}
