#!/bin/bash
# vergle in git, set up as the README says: --textconv as the text
# converter of a repository whose history holds workbooks, a document, a
# presentation, upper-case names and a password-protected workbook; what
# `git diff`, `git log -p`, `git log -S` and `git grep` show of them, the
# cached conversions, the word regex, and vergle as git's external diff and
# difftool.
#   test_cli_git.sh VERGLE CORPUS_DIR
set -u
vergle=$1 corpus=${2:-}
command -v git > /dev/null || { echo "git not found: skipped"; exit 77; }
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP=$work/temp HOME=$work GIT_CONFIG_NOSYSTEM=1 GIT_PAGER=cat
# No settings of the user's own but the test's.
export XDG_CONFIG_HOME=$work/config
# (Not installed, maybe: bash would warn when it takes them in.)
{ export LANG=ja_JP.UTF-8; unset LC_ALL LC_MESSAGES; } 2> /dev/null
unset GIT_EXTERNAL_DIFF
mkdir -p "$TEMP" "$work/repo"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
has() { grep -qxF -- "$2" "$1"; }  # has FILE LINE: the exact line is in the file

# book PATH CELL...: a workbook of one sheet "Sheet1", one cell per row, made
# with Python's zip module (no tool of this project).
book() {
    python3 - "$@" <<'PY'
import sys, zipfile
from xml.sax.saxutils import escape
path, cells = sys.argv[1], sys.argv[2:]
rows = "".join('<row r="%d"><c r="A%d" t="inlineStr"><is><t>%s</t></is></c></row>' % (i, i, escape(c))
               for i, c in enumerate(cells, 1))
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
parts = {
    "[Content_Types].xml": '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>',
    "_rels/.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="' + rel + '/officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml": '<workbook ' + ns + ' xmlns:r="' + rel + '"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>',
    "xl/_rels/workbook.xml.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="' + rel + '/worksheet" Target="worksheets/sheet1.xml"/></Relationships>',
    "xl/worksheets/sheet1.xml": '<worksheet ' + ns + '><sheetData>' + rows + '</sheetData></worksheet>',
}
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in parts.items():
        z.writestr(name, text)
PY
}

# A password-protected workbook: the corpus's, else a compound document that
# holds an encrypted package as such workbooks do (the rest of it empty).
protected() {  # protected PATH VARIANT
    if [ -n "$corpus" ] && [ -f "$corpus/generated/xlsx_password_open__libreoffice.xlsx" ]; then
        if [ "$2" = 1 ]; then
            cp "$corpus/generated/xlsx_password_open__libreoffice.xlsx" "$1"
        else
            cp "$corpus/public/apache__poi/protected_passtika.xlsx" "$1" 2> /dev/null ||
                cp "$corpus/generated/xlsm_password_open__libreoffice.xlsm" "$1"
        fi
        return
    fi
    python3 - "$1" "$2" <<'PY'
import sys
head = bytearray(b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + bytes(504))
head[30] = 9; head[44] = 1; head[76] = 1; head[48] = 0
d = bytearray(512)
for i, ch in enumerate("Root Entry"): d[2 * i] = ord(ch)
d[64] = 22
for i, ch in enumerate("EncryptedPackage"): d[128 + 2 * i] = ord(ch)
d[128 + 64] = 34; d[128 + 116] = 3
fat = bytearray(b"\xFF" * 512); fat[0:4] = b"\xFE\xFF\xFF\xFF"
body = bytearray(512 * 4); body[0] = int(sys.argv[2])  # versions differ
open(sys.argv[1], "wb").write(head + d + fat + body)
PY
}

cd "$work/repo"
git init -q .
git config user.name Vergle && git config user.email vergle@example.com
# The set-up the README gives: names in either case, the text converter,
# its cache, hunk headers naming the sheet, Japanese characters one by one
# in --word-diff.
printf '%s diff=vergle\n' '*.[xX][lL][sS]' '*.[xX][lL][sS][xXmM]' '*.[dD][oO][cC][xXmM]' '*.[pP][pP][tT][xXmM]' \
    >> .gitattributes
git config diff.vergle.textconv "'$vergle' --textconv"
git config diff.vergle.cachetextconv true
git config diff.vergle.xfuncname '^=== (.*) ===$'
git config diff.vergle.wordRegex "$(printf '[A-Za-z0-9_.,%%+-]+|[^[:space:]\x80-\xbf][\x80-\xbf]*')"

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
check "a changed cell, no tab after the row" has "$work/diff" "+旅費	135,000	27%"
check "the cell it replaced" has "$work/diff" "-旅費	120,000	25%"
check "a sheet header as context" grep -q "^ === Info ===$" "$work/diff"
check "a changed paragraph" has "$work/diff" "+月次報告書 2024年3月（改訂版）"
check "a new table row" has "$work/diff" "+ぶどう	30	400"
check "no row ends in white space" test -z "$(grep -E '^[-+].*[[:space:]]$' "$work/diff")"
if [ -n "$have_slides" ]; then
    check "a changed slide text" has "$work/diff" "+本文 九"
    check "the slide text it replaced" has "$work/diff" "-本文 9"
    git diff slides.pptx > "$work/diff"
    check "hunk header names the slide" grep -q '^@@ -[0-9,]* +[0-9,]* @@ スライド007$' "$work/diff"
fi
git commit -qam "second"

# A password-protected workbook among the others, changed once; names in
# upper case; a changed character that shares its first byte with the one
# it replaced.
protected locked.xlsx 1
cp "$samples/budget_v1.xlsx" BUDGET.XLSX
book words.xlsx "本日は晴れ"
git add . && git commit -qm "protected, upper case, words"
protected locked.xlsx 2
cp "$samples/budget_v2.xlsx" BUDGET.XLSX
book words.xlsx "本月は晴れ"
git commit -qam "changed again"

git log -p --format='commit %s' > "$work/log" 2> "$work/err"
check "git log -p runs through the protected workbook: $(head -3 "$work/err")" test $? -eq 0
check "git log -p: nothing on standard error" test ! -s "$work/err"
check "every commit shown" test "$(grep '^commit ' "$work/log" | tr '\n' '|')" = \
    "commit changed again|commit protected, upper case, words|commit second|commit first|"
check "log: the second commit's change" has "$work/log" "+和暦	令和6年4月15日"
check "log: the first commit adds every sheet" has "$work/log" "+=== 予算 2024 ==="
check "log: the protected workbook named by its reason" has "$work/log" "+=== パスワード付きのため比較できません ==="
check "log: upper-case names converted" has "$work/log" "+旅費	135,000	27%"
check "log: BUDGET.XLSX through the converter" test "$(grep -c '^+旅費	135,000	27%$' "$work/log")" -eq 2
git log -p --word-diff=plain -1 -- words.xlsx > "$work/words" 2>&1
check "word diff: one character" has "$work/words" "本[-日-]{+月+}は晴れ"
check "cached conversions" test -n "$(git for-each-ref refs/notes/textconv/vergle)"
git log -p --format='commit %s' > "$work/log2" 2>&1
check "the cache gives the same history" cmp -s "$work/log" "$work/log2"
# Without the cache, in English.
env LANG=C.UTF-8 git -c diff.vergle.cachetextconv=false log -p --format='commit %s' -- locked.xlsx > "$work/log" 2>&1
check "English reason" has "$work/log" "+=== password-protected: cannot be compared ==="
check "git log -S finds a cell's text" test "$(git log -S'135,000' --format=%s -- budget.xlsx)" = "second"
check "git grep --textconv" test "$(git grep --textconv -h -e '書籍' HEAD -- budget.xlsx)" = "書籍	20,000	4%"

# The external diff: git's seven arguments, the view here, exit 0 so that
# git goes on; as GIT_EXTERNAL_DIFF and as the driver's command.
git diff HEAD~3 HEAD -- budget.xlsx > "$work/textconv-diff"
GIT_EXTERNAL_DIFF=$vergle git diff HEAD~3 HEAD -- budget.xlsx > "$work/ext" 2> "$work/err"
check "GIT_EXTERNAL_DIFF: exit 0" test $? -eq 0
check "GIT_EXTERNAL_DIFF: nothing on standard error" test ! -s "$work/err"
check "GIT_EXTERNAL_DIFF: headers name a/ and b/" has "$work/ext" "--- a/budget.xlsx: 予算 2024"
check "GIT_EXTERNAL_DIFF: the changed cell" grep -q "^~2 2	旅費	B2: \[-120,000-\]{+135,000+}" "$work/ext"
git -c diff.vergle.command="$vergle" log -p --ext-diff --format='commit %s' > "$work/ext" 2> "$work/err"
check "the driver's command: git log -p --ext-diff runs through: $(head -3 "$work/err")" test $? -eq 0
check "the driver's command: every commit" test "$(grep -c '^commit ' "$work/ext")" -eq 4
check "the driver's command: added files against /dev/null" has "$work/ext" "+++ b/BUDGET.XLSX: 予算 2024"
check "the driver's command: the protected workbook" has "$work/ext" "=== b/locked.xlsx: パスワード付きのため比較できません ==="
git config difftool.vergle.cmd "'$vergle' \"\$LOCAL\" \"\$REMOTE\""
git difftool -y -t vergle HEAD~3 HEAD -- budget.xlsx > "$work/tool" 2> "$work/err"
check "difftool: the changed cell" grep -q "^~2 2	旅費	B2: \[-120,000-\]{+135,000+}" "$work/tool"
check "nothing left in the temporary folder" test -z "$(ls -A "$TEMP")"

echo "cli git: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
