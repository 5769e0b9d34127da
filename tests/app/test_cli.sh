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

# Refused documents: the message on standard error and a non-zero exit, with
# no standard input (the retry question is answered "no").
refuse() {  # refuse FILE MESSAGE
    local err
    err=$("$vergle" --program "$recorder" "$1" "$1" 2>&1 < /dev/null)
    local rc=$?
    check "exit for $1" test $rc -ne 0
    check "message for $(basename "$1"): $err" test "$err" = "Vergle: $2"
}
printf 'PK\003\004' > "$work/short.xlsx"
refuse "$work/short.xlsx" "サポート対象外のファイルです($work/short.xlsx)。"
refuse "$work/missing.xlsx" "ファイルオープンエラー時にエラーが発生しました。($work/missing.xlsx)"
if [ -n "$corpus" ] && [ -d "$corpus" ]; then
    refuse "$corpus/public/python-excel__xlrd/sample.xlsb" "サポート対象外のファイルです($corpus/public/python-excel__xlrd/sample.xlsb)。"
    refuse "$corpus/generated/doc_paragraphs_breaks__libreoffice.doc" "サポート対象外のファイルです($corpus/generated/doc_paragraphs_breaks__libreoffice.doc)。"
    refuse "$corpus/generated/bad_15_bytes.xls" "サポート対象外のファイルです($corpus/generated/bad_15_bytes.xls)。"
    refuse "$corpus/generated/xlsx_password_open__libreoffice.xlsx" "読み取りパスワードが設定されているファイルはサポート対象外です。($corpus/generated/xlsx_password_open__libreoffice.xlsx)"
else
    echo "corpus not found: corpus checks skipped"
fi
# Each run writes into a folder of its own under TEMP.
run="$work/temp/Vergle-[A-Za-z0-9]{6}"
# A whole comparison of the bundled samples through a folder-compare program
# that records what it was given.
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
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
