#!/bin/bash
# vergle --text as git's text converter: a repository with two versions of a
# workbook, a document and a presentation, and what `git diff` and
# `git log -p` show of them.
#   test_cli_git.sh VERGLE CORPUS_DIR
set -u
vergle=$1 corpus=${2:-}
command -v git > /dev/null || { echo "git not found: skipped"; exit 77; }
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP=$work/temp HOME=$work GIT_CONFIG_NOSYSTEM=1
mkdir -p "$TEMP" "$work/repo"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
has() { grep -qxF -- "$2" "$1"; }  # has FILE LINE: the exact line is in the file

cd "$work/repo"
git init -q .
git config user.name Vergle && git config user.email vergle@example.com
# The set-up the README gives.
printf '%s diff=vergle\n' '*.xls' '*.xls[xm]' '*.doc[xm]' '*.ppt[xm]' >> .gitattributes
git config diff.vergle.textconv "'$vergle' --text"

cp "$samples/budget_v1.xlsx" budget.xlsx
cp "$samples/report_v1.docx" report.docx
have_slides=
if [ -n "$corpus" ] && [ -f "$corpus/generated/pptx_many_slides__libreoffice.pptx" ]; then
    cp "$corpus/generated/pptx_many_slides__libreoffice.pptx" slides.pptx
    have_slides=1
fi
git add . && git commit -qm "first"

cp "$samples/budget_v2.xlsx" budget.xlsx
cp "$samples/report_v2.docx" report.docx
if [ -n "$have_slides" ]; then
    # The second version: the number on the ninth slide changed inside the
    # package, with Python's zip module (no tool of this project).
    python3 - <<'PY'
import zipfile, shutil
src = zipfile.ZipFile("slides.pptx")
out = zipfile.ZipFile("slides.new", "w", zipfile.ZIP_DEFLATED)
for info in src.infolist():
    data = src.read(info.filename)
    if info.filename == "ppt/slides/slide9.xml":
        data = data.replace(b">9<", ">九<".encode())
    out.writestr(info, data)
out.close()
shutil.move("slides.new", "slides.pptx")
PY
fi

git diff > "$work/diff" 2> "$work/err"
check "git diff runs the converter" test ! -s "$work/err"
check "a changed cell" has "$work/diff" "+旅費	135,000	27%	"
check "the cell it replaced" has "$work/diff" "-旅費	120,000	25%	"
check "a sheet header as context" grep -q "^ === Info ===$" "$work/diff"
check "a changed paragraph" has "$work/diff" "+月次報告書 2024年3月（改訂版）"
check "a new table row" has "$work/diff" "+ぶどう	30	400	"
if [ -n "$have_slides" ]; then
    check "a changed slide text" has "$work/diff" "+本文 九"
    check "the slide text it replaced" has "$work/diff" "-本文 9"
    # The optional third line: hunk headers name the slide before the hunk.
    git -c diff.vergle.xfuncname='^=== (.*) ===$' diff slides.pptx > "$work/diff"
    check "hunk header names the slide" grep -q '^@@ -[0-9,]* +[0-9,]* @@ スライド007$' "$work/diff"
fi

git commit -qam "second"
git log -p --format=%s > "$work/log" 2> "$work/err"
check "git log -p runs the converter" test ! -s "$work/err"
check "log: the second commit's change" has "$work/log" "+和暦	令和6年4月15日	"
check "log: the first commit adds every sheet" has "$work/log" "+=== 予算 2024 ==="
check "nothing left in the temporary folder" test -z "$(ls -A "$TEMP")"

echo "cli git: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
