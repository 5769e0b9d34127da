#!/bin/bash
# --formulas and --macros of the vergle command: what they add to the text,
# that a formula changed without changing its value now shows, that the text
# without them is what it always was, and a macro project that cannot be
# read.
#   test_cli_formulas.sh VERGLE CORPUS_DIR
set -u
vergle=$1 corpus=${2:-}
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP=$work/temp
mkdir -p "$TEMP"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
has() { grep -qxF -- "$2" "$1"; }  # has FILE LINE: the exact line is in the file

"$vergle" --text "$samples/budget_v1.xlsx" > "$work/plain.txt"
"$vergle" --text --formulas "$samples/budget_v1.xlsx" > "$work/formulas.txt"
check "formula beside its value" has "$work/formulas.txt" $'合計\t=SUM(B2:B4) → 465,800'
check "values alone without --formulas" has "$work/plain.txt" $'合計\t465,800'
check "only formula cells change" test "$(diff "$work/plain.txt" "$work/formulas.txt" | grep -c '^[<>]')" -eq 2
"$vergle" --text --formulas --no-formulas "$samples/budget_v1.xlsx" > "$work/off.txt"
check "--no-formulas" cmp -s "$work/plain.txt" "$work/off.txt"

# The same total from another formula: no difference in the values, one in
# the formulas.
python3 - "$samples/budget_v1.xlsx" "$work/changed.xlsx" <<'PY'
import sys, zipfile
src, dst = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED)
for info in src.infolist():
    data = src.read(info.filename)
    if info.filename.startswith("xl/worksheets/") and b"SUM(B2:B4)" in data:
        data = data.replace(b"SUM(B2:B4)", b"SUM(B2:B3)+B4")
    dst.writestr(info, data)
dst.close()
PY
"$vergle" --color=never "$samples/budget_v1.xlsx" "$work/changed.xlsx" > /dev/null
check "same values: no differences" test $? -eq 0
"$vergle" --color=never --formulas "$samples/budget_v1.xlsx" "$work/changed.xlsx" > "$work/view.txt"
check "changed formula: differences" test $? -eq 1
# The cell is named and both formulas can be read back from its marks.
check "changed formula shown" has "$work/view.txt" $'~5 5\t合計\tB5: =SUM(B2:B{+3)+B+}4[-)-] → 465,800'

if [ -z "$corpus" ] || [ ! -d "$corpus" ]; then
    echo "corpus not found: macro checks skipped"
else
    poi=$corpus/public/apache__poi
    "$vergle" --text --macros "$poi/SimpleMacro.xlsm" > "$work/xlsm.txt"
    check "workbook macros: exit 0" test $? -eq 0
    check "module section" has "$work/xlsm.txt" "=== マクロ_Module1.bas ==="
    check "module code" has "$work/xlsm.txt" '    ActiveCell.FormulaR1C1 = "This is a macro workbook"'
    check "document module" has "$work/xlsm.txt" "=== マクロ_ThisWorkbook.cls ==="
    check "hidden attributes left out" test "$(grep -c '^Attribute ' "$work/xlsm.txt")" -eq 0
    check "sheets first" test "$(head -1 "$work/xlsm.txt")" = "=== Sheet1 ==="
    "$vergle" --text "$poi/SimpleMacro.xlsm" > "$work/xlsm-plain.txt"
    check "no macros without --macros" test "$(grep -c 'マクロ_' "$work/xlsm-plain.txt")" -eq 0
    "$vergle" --text --macros --allpage "$poi/SimpleMacro.docm" > "$work/docm.txt"
    check "document macros with --allpage" has "$work/docm.txt" "=== マクロ_Module1.bas ==="
    check "document text too" has "$work/docm.txt" "=== 全文 ==="
    "$vergle" --text --macros "$poi/SimpleMacro.pptm" > "$work/pptm.txt"
    check "presentation macros" has "$work/pptm.txt" '        .Title.TextFrame.TextRange.Text = "This is a macro slideshow"'
    "$vergle" --text --macros "$corpus/public/tafia__calamine/issues.xls" > "$work/xls.txt"
    check "legacy workbook macros" has "$work/xls.txt" '    MsgBox "Hello from vba!"'
    # A project part that is not a project: the message, and the rest goes on.
    python3 - "$poi/SimpleMacro.docm" "$work/broken.docm" <<'PY'
import sys, zipfile
src, dst = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED)
for info in src.infolist():
    data = src.read(info.filename)
    if info.filename.endswith("vbaProject.bin"):
        data = data[:600]
    dst.writestr(info, data)
dst.close()
PY
    "$vergle" --text --macros "$work/broken.docm" > "$work/broken.txt" 2> "$work/broken.err"
    check "broken project: exit 0" test $? -eq 0
    check "broken project: message" grep -q "^Vergle: The macros cannot be compared. ($work/broken.docm): " "$work/broken.err"
    LANG=ja_JP.UTF-8 "$vergle" --debug --text --macros "$work/broken.docm" 2>&1 > /dev/null | grep -q "^Vergle: マクロを比較できません。TABX-03620 "
    check "broken project: the library's message with --debug" test $? -eq 0
    check "broken project: text still written" grep -q "This is a macro word processing document" "$work/broken.txt"
    # A formula the library reports shows its message in place.
    "$vergle" --text --formulas "$corpus/public/python-excel__xlrd/namesdemo.xls" > "$work/names.txt"
    check "unreadable formula reported" grep -q "TABX-03610 数式を読み取れません" "$work/names.txt"
fi
check "temporary folder left as found" test -z "$(ls -A "$TEMP")"
echo "cli formulas: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
