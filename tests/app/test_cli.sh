#!/bin/bash
# The vergle command from the outside: options, exit codes, messages, and the
# settings file beside the executable.
#   test_cli.sh VERGLE RECORD_COMPARE CORPUS_DIR
set -u
vergle_src=$1 recorder=$2 corpus=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private copy, so that --save writes its own Vergle.ini.
mkdir -p "$work/bin" "$work/temp" "$work/cwd"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp
# The user's own settings folder, empty until a test fills it.
export HOME=$work/home XDG_CONFIG_HOME=$work/config
# Messages in Japanese, as the Parts quote them (English ones are tested
# apart).
# (Not installed, maybe: bash would warn when it takes them in.)
{ export LANG=ja_JP.UTF-8; unset LC_ALL LC_MESSAGES; } 2> /dev/null
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

out=$("$vergle" --version); check "version" test "$out" = "3.0.0.0"
"$vergle" --help > "$work/help" 2>&1; check "help exits 0" test $? -eq 0
check "help names the options" grep -q -- "--no-allpage" "$work/help"
"$vergle" only-one-file > /dev/null 2>&1; check "one file is a usage error" test $? -eq 2
"$vergle" --bogus a b > /dev/null 2>&1; check "unknown option" test $? -eq 2
"$vergle" --program > /dev/null 2>&1; check "--program without a path" test $? -eq 2

# --save writes the settings beside the executable, not into the current folder.
(cd "$work/cwd" && "$vergle" --program /opt/diff-tool --textbox --allpage --save)
check "--save exits 0" test $? -eq 0
check "settings beside the executable" test -f "$work/bin/Vergle.ini"
check "nothing in the current folder" test ! -e "$work/cwd/Vergle.ini"
check "settings bytes" test "$(od -An -c "$work/bin/Vergle.ini" | tr -s ' ')" = "$(printf '/opt/diff-tool\r\nTEXTBOX=Y\r\nALLPAGE=Y' | od -An -c | tr -s ' ')"
"$vergle" --no-textbox --no-allpage --program diff --save
check "settings saved again" test "$(tr -d '\r' < "$work/bin/Vergle.ini")" = "$(printf 'diff\nTEXTBOX=N\nALLPAGE=N')"

# Refused documents: the message with its reason on standard error and exit
# 2, in Japanese under a Japanese locale and in English otherwise, with no
# standard input (the retry question is answered "no").
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
# as_other_user COMMAND...: runs the command as a user other than root when
# this runs as root (root may read any file); as it is otherwise.
# The build tree may sit in a folder only its owner enters (a fresh clone
# under mktemp -d): the other user gets its own copy of the library, and
# reads only documents copied into the work folder.
as_other_user() {
    if [ "$(id -u)" -eq 0 ]; then
        LD_LIBRARY_PATH=$work/lib setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
    else "$@"; fi
}
chmod 755 "$work"
mkdir -p "$work/lib"
ldd "$vergle_src" | awk '/libtabx/ && $3 ~ /^\// {print $3}' | while read -r lib; do
    cp -L "$lib" "$work/lib/"
done
refuse() {  # refuse FILE1 FILE2 JAPANESE ENGLISH: the message for the pair
    local err rc lang
    for lang in ja_JP.UTF-8 C.UTF-8; do
        err=$(env LANG=$lang timeout 20 "$vergle" --program "$recorder" "$1" "$2" 2>&1 < /dev/null)
        rc=$?
        check "exit 2 for $(basename "$1") $(basename "$2") ($lang)" test $rc -eq 2
        local want=$3
        [ $lang = C.UTF-8 ] && want=$4
        check "message ($lang): $err" test "$err" = "Vergle: $want"
    done
}
good=$samples/budget_v1.xlsx
printf 'PK\003\004' > "$work/short.xlsx"
refuse "$work/short.xlsx" "$good" "サポート対象外のファイルです($work/short.xlsx)。: 文書としては短すぎます" \
    "Unsupported file ($work/short.xlsx): too short to be a document"
refuse "$work/missing.xlsx" "$good" "ファイルオープンエラー時にエラーが発生しました。($work/missing.xlsx): ファイルがありません" \
    "Cannot open the file ($work/missing.xlsx): no such file"
# A folder beside a file: two folders are compared, a folder and a file not.
mkdir "$work/folder.xlsx"
refuse "$good" "$work/folder.xlsx" \
    "フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。($good、$work/folder.xlsx)" \
    "A folder cannot be compared with a file: name two folders or two files ($good, $work/folder.xlsx)"
# A FIFO without a writer: refused at once, never opened (which would wait).
mkfifo "$work/pipe.xlsx"
refuse "$work/pipe.xlsx" "$good" "ファイルオープンエラー時にエラーが発生しました。($work/pipe.xlsx): 通常のファイルではありません" \
    "Cannot open the file ($work/pipe.xlsx): not a regular file"
# A device likewise (/dev/null alone stands for a document without text).
refuse /dev/zero "$good" "ファイルオープンエラー時にエラーが発生しました。(/dev/zero): 通常のファイルではありません" \
    "Cannot open the file (/dev/zero): not a regular file"
refuse "$good" "$samples/report_v1.docx" "種類の異なるファイルは比較できません($good、$samples/report_v1.docx)。" \
    "Cannot compare files of different kinds ($good, $samples/report_v1.docx)"
head -c 2000 "$good" > "$work/cut.xlsx"
refuse "$work/cut.xlsx" "$good" "ファイルオープンエラー時にエラーが発生しました。($work/cut.xlsx): 途中で切れています" \
    "Cannot open the file ($work/cut.xlsx): truncated"
head -c 2000 "$samples/report_v1.docx" > "$work/cut.docx"
refuse "$work/cut.docx" "$samples/report_v1.docx" "ファイルオープンエラー時にエラーが発生しました。($work/cut.docx): 途中で切れています" \
    "Cannot open the file ($work/cut.docx): truncated"
printf 'plain text under the name of a Word document\n' > "$work/text.docx"
refuse "$work/text.docx" "$samples/report_v1.docx" "サポート対象外のファイルです($work/text.docx)。: zipパッケージではありません" \
    "Unsupported file ($work/text.docx): not a zip package"
# No permission to read: as another user when this runs as root.
cp "$good" "$work/locked.xlsx"
cp "$good" "$work/good.xlsx"
chmod 000 "$work/locked.xlsx"
for lang in ja_JP.UTF-8 C.UTF-8; do
    err=$(as_other_user env LANG=$lang "$vergle" "$work/locked.xlsx" "$work/good.xlsx" 2>&1 < /dev/null)
    check "no permission: exit 2 ($lang)" test $? -eq 2
    want="Vergle: ファイルオープンエラー時にエラーが発生しました。($work/locked.xlsx): アクセス権がありません"
    [ $lang = C.UTF-8 ] && want="Vergle: Cannot open the file ($work/locked.xlsx): permission denied"
    check "no permission ($lang): $err" test "$err" = "$want"
done
# LC_ALL over LANG, LC_MESSAGES between them.
err=$(env LC_ALL=C LANG=ja_JP.UTF-8 "$vergle" "$work/missing.xlsx" "$good" 2>&1)
check "LC_ALL first: $err" test "$err" = "Vergle: Cannot open the file ($work/missing.xlsx): no such file"
err=$(env LC_MESSAGES=ja_JP.UTF-8 LANG=C "$vergle" "$work/missing.xlsx" "$good" 2>&1)
check "LC_MESSAGES over LANG: $err" grep -q "ファイルがありません" <<< "$err"
# Both files are checked before anything is read or written: with a TEMP
# that cannot be made, a missing second file is what is reported.
err=$(TEMP=$work/no/such/folder "$vergle" "$good" "$work/missing.xlsx" 2>&1 < /dev/null)
check "second file checked first: $err" test "$err" = "Vergle: ファイルオープンエラー時にエラーが発生しました。($work/missing.xlsx): ファイルがありません"
if [ -n "$corpus" ] && [ -d "$corpus" ]; then
    refuse "$corpus/public/python-excel__xlrd/sample.xlsb" "$good" "サポート対象外のファイルです($corpus/public/python-excel__xlrd/sample.xlsb)。" \
        "Unsupported file ($corpus/public/python-excel__xlrd/sample.xlsb)"
    doc=$corpus/generated/doc_paragraphs_breaks__libreoffice.doc
    refuse "$doc" "$samples/report_v1.docx" "サポート対象外のファイルです($doc)。" "Unsupported file ($doc)"
    refuse "$corpus/generated/bad_15_bytes.xls" "$good" "サポート対象外のファイルです($corpus/generated/bad_15_bytes.xls)。: 文書としては短すぎます" \
        "Unsupported file ($corpus/generated/bad_15_bytes.xls): too short to be a document"
    locked=$corpus/generated/xlsx_password_open__libreoffice.xlsx
    refuse "$good" "$locked" "読み取りパスワードが設定されているファイルはサポート対象外です。($locked)" \
        "A file protected by a password to open is not supported ($locked)"
    locked=$corpus/generated/xls_password_open__libreoffice.xls
    refuse "$locked" "$good" "読み取りパスワードが設定されているファイルはサポート対象外です。($locked)" \
        "A file protected by a password to open is not supported ($locked)"
    bad=$corpus/generated/bad_truncated.xlsx
    refuse "$bad" "$good" "ファイルオープンエラー時にエラーが発生しました。($bad): 途中で切れています" "Cannot open the file ($bad): truncated"
    # The library's internals only with --debug.
    err=$("$vergle" --debug "$bad" "$good" 2>&1)
    check "--debug: the library's code: $err" grep -q '^Vergle: ERROR:TABX_open_book() rc=-101 TABX-03101 Excelファイルオープンエラー(".*bad_truncated.xlsx")。$' <<< "$err"
else
    echo "corpus not found: corpus checks skipped"
fi
# Each run writes into a folder of its own under TEMP.
run="$work/temp/Vergle-[A-Za-z0-9]{6}"
# A whole comparison of the bundled samples through a folder-compare program
# that records what it was given.
export VERGLE_RECORD=$work/record.txt
"$vergle" --program "$recorder" "$samples/report_v1.docx" "$samples/report_v2.docx" < /dev/null
check "comparison exits 0" test $? -eq 0
check "first folder given" grep -qE "^arg=$run/report_v1$" "$VERGLE_RECORD"
check "pages written" grep -q "^  ページ002=" "$VERGLE_RECORD"
# Equal names in two folders get "_1" and "_2".
mkdir -p "$work/a" "$work/b"
cp "$samples/report_v1.docx" "$work/a/report.docx"
cp "$samples/report_v2.docx" "$work/b/report.docx"
"$vergle" --allpage --program "$recorder" "$work/a/report.docx" "$work/b/report.docx" < /dev/null
check "equal stems: exit 0" test $? -eq 0
check "equal stems: _1" grep -qE "^arg=$run/report_1$" "$VERGLE_RECORD"
check "equal stems: _2" grep -qE "^arg=$run/report_2$" "$VERGLE_RECORD"
check "one file with --allpage" grep -q "^  全文=" "$VERGLE_RECORD"
# Two workbooks, one sheet name with a blank.
"$vergle" --textbox --program "$recorder" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "workbooks: exit 0" test $? -eq 0
check "workbooks: sheet file" grep -q "^  予算_2024=" "$VERGLE_RECORD"
check "workbooks: displayed amount" grep -q "135,000" "$VERGLE_RECORD"
if [ -n "$corpus" ] && [ -d "$corpus" ]; then
    "$vergle" --program "$recorder" "$corpus/generated/xls_basic_types__libreoffice.xls" \
        "$corpus/generated/xls_basic_types__gnumeric.xls" < /dev/null
    check "legacy workbooks: exit 0" test $? -eq 0
    check "legacy workbooks: both folders" grep -qE "^arg=$run/xls_basic_types__gnumeric$" "$VERGLE_RECORD"
    check "legacy workbooks: image removed" test ! -e "$work/temp/Vergle2003.tmp"
fi
check "temporary folder left as found" test -z "$(ls -A "$work/temp")"

# Failures change the exit status: a compare program that cannot start
# (missing, a folder, not executable).
printf 'text' > "$work/not-executable"
for prog in "$work/no-such-program" "$work/cwd" "$work/not-executable"; do
    err=$("$vergle" --program "$prog" "$samples/report_v1.docx" "$samples/report_v2.docx" 2>&1 < /dev/null)
    rc=$?
    check "program $(basename "$prog"): exit 2" test $rc -eq 2
    check "program $(basename "$prog"): message" test "$err" = "Vergle: フォルダ比較プログラム起動エラー"
done
check "nothing left after failed launches" test -z "$(ls -A "$work/temp")"
# A short write (a file-size limit) in both modes.
# A workbook whose text is well over the 1 KiB limit, made here so that a
# clone with nothing beside it runs this too.
big="$work/big.xlsx"
python3 - "$big" <<'PY'
import sys, zipfile
rows = "".join('<row r="%d"><c r="A%d" t="inlineStr"><is><t>row %d of a workbook written for the test</t></is></c></row>' % (r, r, r)
               for r in range(1, 401))
parts = {
    "[Content_Types].xml": '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>',
    "_rels/.rels": '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml": '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Big" sheetId="1" r:id="rId1"/></sheets></workbook>',
    "xl/_rels/workbook.xml.rels": '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>',
    "xl/worksheets/sheet1.xml": '<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
        + rows + '</sheetData></worksheet>',
}
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in parts.items():
        z.writestr(name, text)
PY
for mode in --no-allpage --allpage; do
    # 12 KiB: the private copies of the documents fit, the big text does not.
    err=$( (ulimit -f 12; "$vergle" $mode --program "$recorder" "$big" "$samples/budget_v1.xlsx" 2>&1 < /dev/null) )
    check "short write $mode: exit 2 ($err)" test $? -eq 2
    check "short write $mode: message" grep -q "作成エラー" <<< "$err"
done
check "nothing left after short writes" test -z "$(ls -A "$work/temp")"
# An interrupt while the compare program runs: the program is waited for, the
# run's folder removed, and the status tells of the signal.
printf '#!/bin/sh\ntouch "%s/started"\nsleep 1\n' "$work" > "$work/slow-program"
chmod +x "$work/slow-program"
"$vergle" --program "$work/slow-program" "$samples/report_v1.docx" "$samples/report_v2.docx" < /dev/null &
pid=$!
for _ in $(seq 100); do [ -e "$work/started" ] && break; sleep 0.05; done
kill -TERM "$pid"
wait "$pid"
check "interrupt: exit 143" test $? -eq 143
check "interrupt: nothing left" test -z "$(ls -A "$work/temp")"
# Standard input that never ends: an interrupt ends the wait all the same,
# and the folder of its copy goes.
mkfifo "$work/endless"
exec 7<> "$work/endless"  # a writer that never writes
"$vergle" --text - < "$work/endless" > /dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do [ -n "$(ls -A "$work/temp")" ] && break; sleep 0.05; done
kill -TERM "$pid"
wait "$pid"
check "interrupt while standard input is read: exit 143" test $? -eq 143
check "interrupt while standard input is read: nothing left" test -z "$(ls -A "$work/temp")"
exec 7>&-
# Settings that cannot be saved, and a program path that would add lines.
cp "$work/bin/Vergle.ini" "$work/ini.before"
"$vergle" --program $'/opt/tool\nTEXTBOX=Y' --save > /dev/null 2>&1
check "line break in the program path: exit 2" test $? -eq 2
check "settings file unchanged" cmp -s "$work/ini.before" "$work/bin/Vergle.ini"
mkdir -p "$work/ro/bin"
cp "$vergle" "$work/ro/bin/vergle"
mkdir "$work/ro/bin/Vergle.ini"  # not a file: cannot be written, even by root
err=$("$work/ro/bin/vergle" --textbox --save 2>&1)
check "unsaved settings: exit 2" test $? -eq 2
check "unsaved settings: message" test "$err" = "Vergle: 設定ファイル($work/ro/bin/Vergle.ini)を保存できません。"
check "no settings in the user's folder while the executable's can be written" test ! -e "$work/config"

# Settings of the user's own: read instead of those beside the executable
# when they exist, and saved there.
cp "$work/bin/Vergle.ini" "$work/ini.before"
mkdir -p "$work/config/vergle"
printf '%s\r\nTEXTBOX=N\r\nALLPAGE=Y' "$recorder" > "$work/config/vergle/Vergle.ini"
VERGLE_RECORD=$work/record.txt "$vergle" "$samples/report_v1.docx" "$samples/report_v2.docx" < /dev/null
check "the user's settings: their program ran" grep -q "^  全文=" "$work/record.txt"
err=$("$vergle" --no-allpage --save 2>&1)
check "--save into the user's file: exit 0" test $? -eq 0
check "--save into the user's file: says where: $err" test "$err" = "Vergle: 設定を保存しました。($work/config/vergle/Vergle.ini)"
check "--save into the user's file: saved" test "$(tr -d '\r' < "$work/config/vergle/Vergle.ini")" = "$(printf '%s\nTEXTBOX=N\nALLPAGE=N' "$recorder")"
check "--save into the user's file: the one beside the executable left" cmp -s "$work/ini.before" "$work/bin/Vergle.ini"
rm -r "$work/config"
# An executable in a folder the user cannot write into (a system folder):
# --save writes the user's own file, under XDG_CONFIG_HOME or else
# ~/.config, and says where.  As another user when this runs as root.
mkdir -p "$work/sys/bin" "$work/nobody" && chmod 777 "$work/nobody"
cp "$samples/budget_v1.xlsx" "$work/budget.xlsx"
cp "$vergle" "$work/sys/bin/vergle" && chmod 555 "$work/sys/bin"
for where in xdg home; do
    if [ $where = xdg ]; then
        env=(XDG_CONFIG_HOME="$work/nobody/config" HOME="$work/nobody") want=$work/nobody/config/vergle/Vergle.ini
    else
        env=(-u XDG_CONFIG_HOME HOME="$work/nobody") want=$work/nobody/.config/vergle/Vergle.ini
    fi
    err=$(as_other_user env "${env[@]}" "$work/sys/bin/vergle" --textbox --save 2>&1)
    check "read-only executable's folder ($where): exit 0" test $? -eq 0
    check "read-only executable's folder ($where): says where: $err" test "$err" = "Vergle: 設定を保存しました。($want)"
    check "read-only executable's folder ($where): saved" test "$(tr -d '\r' < "$want" | tail -2 | tr '\n' ' ')" = "TEXTBOX=Y ALLPAGE=N"
    check "read-only executable's folder ($where): nothing beside it" test ! -e "$work/sys/bin/Vergle.ini"
    out=$(as_other_user env "${env[@]}" TEMP="$work/nobody" "$work/sys/bin/vergle" --text "$work/budget.xlsx" 2> /dev/null)
    check "read-only executable's folder ($where): read back (shapes and comments on)" grep -q "^★★★" <<< "$out"
done
chmod 755 "$work/sys/bin"
# A link in the place of the settings file is replaced, never written
# through.
printf 'keep' > "$work/precious"
rm -f "$work/bin/Vergle.ini" && ln -s "$work/precious" "$work/bin/Vergle.ini"
"$vergle" --allpage --save
check "a link in place of the settings: exit 0" test $? -eq 0
check "a link in place of the settings: what it points at is kept" test "$(cat "$work/precious")" = keep
check "a link in place of the settings: replaced by the file" test -f "$work/bin/Vergle.ini" -a ! -L "$work/bin/Vergle.ini"
check "a link in place of the settings: nothing else beside" test "$(ls "$work/bin")" = "$(printf 'Vergle.ini\nvergle')"
cp "$work/ini.before" "$work/bin/Vergle.ini"

# --encoding and --keep: the kept folders hold UTF-8 text.
"$vergle" --encoding utf-8 --keep "$work/kept" --program true "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "--keep: exit 0" test $? -eq 0
check "--keep: UTF-8 text kept" grep -q "旅費" "$work/kept/budget_v1/予算_2024"
check "--keep: nothing under TEMP" test -z "$(ls -A "$work/temp")"
"$vergle" --keep "$work/kept" --program true "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null 2> /dev/null
check "--keep into an existing folder: exit 2" test $? -eq 2
"$vergle" --encoding latin1 a b > /dev/null 2>&1
check "--encoding latin1: exit 2" test $? -eq 2

# 16 runs at once with one TEMP, each with its own documents: each compare
# program sees exactly what the same run alone shows it.
if [ -n "$corpus" ] && [ -d "$corpus" ]; then
    mapfile -t books < <(ls "$corpus"/generated/xls_*.xls "$corpus"/public/*/*.xls | grep -v password | head -17)
    mkdir -p "$work/par"
    for i in $(seq 0 15); do
        a=${books[$i]} b=${books[$((i + 1))]}
        VERGLE_RECORD="$work/par/alone.$i" "$vergle" --program "$recorder" "$a" "$b" < /dev/null > /dev/null 2>&1
    done
    for i in $(seq 0 15); do
        a=${books[$i]} b=${books[$((i + 1))]}
        VERGLE_RECORD="$work/par/together.$i" "$vergle" --program "$recorder" "$a" "$b" < /dev/null \
            > /dev/null 2> "$work/par/err.$i" &
    done
    wait
    same=0
    for i in $(seq 0 15); do
        if [ -s "$work/par/alone.$i" ] && [ ! -s "$work/par/err.$i" ] &&
            diff <(grep -av '^arg=' "$work/par/alone.$i") <(grep -av '^arg=' "$work/par/together.$i") > /dev/null; then
            same=$((same + 1))
        fi
    done
    check "16 parallel runs each saw their own documents ($same)" test "$same" -eq 16
    check "nothing left after parallel runs" test -z "$(ls -A "$work/temp")"
fi

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
