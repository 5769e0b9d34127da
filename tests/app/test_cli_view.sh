#!/bin/bash
# The command line's own view of the differences, its exit statuses and
# --text, from the outside.
#   test_cli_view.sh VERGLE RECORD_COMPARE PYTHON CORPUS_DIR
# Expected outputs of the bundled samples are in cli_expected/; run with
# VERGLE_UPDATE_EXPECTED=1 to write them anew (then read the changes).
set -u
vergle_src=$1 recorder=$2 python=${3:-python3} corpus=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../../samples" && pwd)
expected=$here/cli_expected
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private copy, so that no Vergle.ini of the build folder counts.
mkdir -p "$work/bin" "$work/temp"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp
# No settings of the user's own but the test's.
export XDG_CONFIG_HOME=$work/config
# Messages in Japanese, as the Parts quote them (English ones are tested
# apart).
# (Not installed, maybe: bash would warn when it takes them in.)
{ export LANG=ja_JP.UTF-8; unset LC_ALL LC_MESSAGES; } 2> /dev/null
unset NO_COLOR
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# expect NAME EXPECTED_FILE STATUS ARGS...: run in the samples folder (so
# that the headers name the documents as given), compare standard output
# byte for byte; standard error stays empty.
expect() {
    local name=$1 file=$2 status=$3; shift 3
    (cd "$samples" && "$vergle" "$@") > "$work/out" 2> "$work/err" < "${input:-/dev/null}"
    local rc=$?
    [ -n "${VERGLE_UPDATE_EXPECTED:-}" ] && cp "$work/out" "$expected/$file"
    check "$name: exit $rc" test $rc -eq "$status"
    check "$name: output" cmp -s "$work/out" "$expected/$file"
    cmp -s "$work/out" "$expected/$file" || diff -u "$expected/$file" "$work/out" | cat -v | head -40
    check "$name: nothing on standard error: $(cat "$work/err")" test ! -s "$work/err"
}

expect "workbooks" budget.txt 1 budget_v1.xlsx budget_v2.xlsx
expect "workbooks in colour" budget_colour.txt 1 --color=always budget_v1.xlsx budget_v2.xlsx
expect "documents" report.txt 1 report_v1.docx report_v2.docx
expect "documents in colour" report_colour.txt 1 --color report_v1.docx report_v2.docx
NO_COLOR=1 expect "NO_COLOR does not overrule --color=always" budget_colour.txt 1 --color=always budget_v1.xlsx budget_v2.xlsx
expect "no colour into a pipe" budget.txt 1 --color=auto budget_v1.xlsx budget_v2.xlsx
expect "identical documents" empty.txt 0 --color=always report_v2.docx report_v2.docx
expect "one text per workbook" budget_allpage.txt 1 --allpage --textbox budget_v1.xlsx budget_v2.xlsx
expect "text of a workbook" budget_v2_text.txt 0 --text --textbox budget_v2.xlsx
expect "text of a document" report_v2_text.txt 0 --text report_v2.docx
check "temporary folder left as found" test -z "$(ls -A "$TEMP")"

# diff's habits: context lines, labels, standard input, a document without
# text, whether they differ at all.
expect "-U 0" budget_U0.txt 1 -U 0 budget_v1.xlsx budget_v2.xlsx
expect "-U0" budget_U0.txt 1 -U0 budget_v1.xlsx budget_v2.xlsx
expect "--unified=0" budget_U0.txt 1 --unified=0 budget_v1.xlsx budget_v2.xlsx
expect "-u" budget.txt 1 -u budget_v1.xlsx budget_v2.xlsx
input=$samples/report_v2.docx expect "labels, one line of context, standard input" report_labels.txt 1 \
    --label old --label new -U1 report_v1.docx -
input=$samples/budget_v2.xlsx expect "--text of standard input" budget_v2_text.txt 0 --text --textbox -
expect "a document against /dev/null" report_added.txt 1 /dev/null report_v1.docx
expect "-q: the same" empty.txt 0 -q report_v2.docx report_v2.docx
out=$(cd "$samples" && env LANG=C "$vergle" -q budget_v1.xlsx budget_v2.xlsx)
check "-q: different: exit 1" test $? -eq 1
check "-q: different: $out" test "$out" = "Files budget_v1.xlsx and budget_v2.xlsx differ"
out=$(cd "$samples" && "$vergle" --brief --label 旧 --label 新 budget_v1.xlsx budget_v2.xlsx)
check "--brief in Japanese, with labels: $out" test "$out" = "ファイル 旧 と 新 は異なります"

# git's call of an external diff: path, then old file, hex and mode, new
# file, hex and mode (and after a rename the new path and a description);
# a file one side lacks is /dev/null.  The view with a/ and b/ names, exit 0.
hex1=1fd70b0aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa hex2=f8fc1d5bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb
sed -e 's|^--- budget_v1.xlsx|--- a/budget.xlsx|' -e 's|^+++ budget_v2.xlsx|+++ b/budget.xlsx|' "$expected/budget.txt" \
    > "$work/git.txt"
(cd "$samples" && "$vergle" budget.xlsx budget_v1.xlsx $hex1 100644 budget_v2.xlsx $hex2 100644) > "$work/out" 2>&1
check "git's call: exit 0" test $? -eq 0
check "git's call: the view with a/ and b/" cmp -s "$work/out" "$work/git.txt"
(cd "$samples" && "$vergle" plan.xlsx budget_v1.xlsx $hex1 100644 budget_v2.xlsx $hex2 100755 budget.xlsx \
    'similarity index 90%') > "$work/out" 2>&1
check "git's call after a rename: exit 0" test $? -eq 0
check "git's call after a rename: the new path" grep -qx -- '+++ b/budget.xlsx: Info' "$work/out"
(cd "$samples" && "$vergle" report.docx /dev/null . . report_v1.docx $hex2 100644) > "$work/out" 2>&1
check "git's call of an added file: exit 0" test $? -eq 0
check "git's call of an added file" cmp -s "$work/out" <(sed -e 's|^+++ report_v1.docx|+++ b/report.docx|' "$expected/report_added.txt")
printf 'not a document\n' > "$work/notes.txt"
"$vergle" notes.txt "$work/notes.txt" $hex1 100644 "$work/notes.txt" $hex2 100644 > "$work/out" 2>&1
check "git's call of a file it refuses: exit 0" test $? -eq 0
check "git's call of a file it refuses: one line each" test "$(cat "$work/out")" = "$(printf '%s\n' '--- a/notes.txt' '+++ b/notes.txt' \
    '=== a/notes.txt: サポート対象外のファイルのため比較できません ===' '=== b/notes.txt: サポート対象外のファイルのため比較できません ===')"
check "temporary folder left as found after diff's habits" test -z "$(ls -A "$TEMP")"

# Usage errors: one line naming what is wrong, exit 2.
usage_error() {  # usage_error MESSAGE ARGS...
    local want=$1; shift
    local err
    err=$(env LANG=C "$vergle" "$@" 2>&1 < /dev/null)
    check "usage error $*: exit 2" test $? -eq 2
    check "usage error $*: $err" test "$err" = "vergle: $want (vergle --help shows the usage)"
}
usage_error "name two files to compare (1 given)" only-one-file
usage_error "name two files to compare (3 given)" a b c
usage_error "name two files to compare (0 given)"
usage_error "--text and --textconv take one file (2 given)" --text a b
usage_error "unknown option --bogus" --bogus a b
usage_error "-U takes a number of lines, not x" -U x a b
usage_error "-U takes a number of lines, not " a b -U
usage_error "--label is given at most twice" --label 1 --label 2 --label 3 a b
usage_error "standard input (-) can be read only once" - -
usage_error "-q, -U and --label are for the built-in view, not for --program" -q --program true a b
usage_error "--color takes auto, always or never, not sometimes" --color=sometimes a b
usage_error "--encoding takes utf-8 or cp932" --encoding latin1 a b
usage_error "--program needs a value" a b --program
err=$("$vergle" a 2>&1)
check "usage error in Japanese: $err" test "$err" = "vergle: 比較するファイルを2つ指定してください(指定されたのは1個)。 (使い方は vergle --help)"

# Trouble is 2: a usage error, a document refused, a program that cannot
# be started.
"$vergle" --color=sometimes a b > /dev/null 2>&1; check "bad --color" test $? -eq 2
"$vergle" --text a b > /dev/null 2>&1; check "--text takes one file" test $? -eq 2
# (The first document's folder stays when the second is refused.)
TEMP=$work/temp2 "$vergle" "$samples/budget_v1.xlsx" "$work/missing.xlsx" > /dev/null 2>&1 < /dev/null
check "missing document" test $? -eq 2
"$vergle" --text "$work/missing.xlsx" > /dev/null 2> "$work/err"; check "--text of a missing document" test $? -eq 2
check "--text: the message" grep -q "ファイルオープンエラー" "$work/err"
"$vergle" --program vergle-no-such-program "$samples/report_v1.docx" "$samples/report_v2.docx" > /dev/null 2> "$work/err" < /dev/null
check "program that cannot start: 2" test $? -eq 2
check "program that cannot start: message" test "$(cat "$work/err")" = "Vergle: フォルダ比較プログラム起動エラー"
VERGLE_RECORD=$work/record "$vergle" --program "$recorder" "$samples/report_v1.docx" "$samples/report_v2.docx" < /dev/null
check "program that ran: 0" test $? -eq 0
check "program that ran: given the folders" grep -q "^  ページ001=" "$work/record"
check "temporary folder left as found after trouble" test -z "$(ls -A "$TEMP")"

# --html: the report beside the view, or before a program; written into a
# new file put in place (a link there is replaced, its target untouched);
# a report that cannot be written is trouble.
(cd "$samples" && "$vergle" --html "$work/r.html" budget_v1.xlsx budget_v2.xlsx) > "$work/out" 2>&1 < /dev/null
check "--html: the view's status" test $? -eq 1
check "--html: the view as without it" cmp -s "$work/out" "$expected/budget.txt"
check "--html: a whole page" grep -q '</html>' "$work/r.html"
VERGLE_RECORD=$work/record "$vergle" --html "$work/r2.html" --program "$recorder" "$samples/report_v1.docx" \
    "$samples/report_v2.docx" > "$work/out" 2>&1 < /dev/null
check "--html with a program: the program ran" test $? -eq 0 -a -s "$work/record"
check "--html with a program: the report written, nothing shown" test -s "$work/r2.html" -a ! -s "$work/out"
echo precious > "$work/target"
ln -s "$work/target" "$work/link.html"
"$vergle" --html "$work/link.html" "$samples/report_v1.docx" "$samples/report_v2.docx" > /dev/null 2>&1 < /dev/null
check "--html: a link is replaced, not written through" test "$(cat "$work/target")" = precious -a ! -L "$work/link.html"
mkdir "$work/dir.html"
"$vergle" --html "$work/dir.html" "$samples/report_v1.docx" "$samples/report_v2.docx" > /dev/null 2> "$work/err" < /dev/null
check "--html into a folder: trouble" test $? -eq 2
check "--html into a folder: the message" grep -q "レポートを書き込めません" "$work/err"
check "--html into a folder: nothing left beside it" test -z "$(ls "$work" | grep '\.part')"
"$vergle" --html "$work/r3.html" --text "$samples/report_v1.docx" > /dev/null 2>&1; check "--html with --text" test $? -eq 2

# Settings of earlier versions name "diff", their default: the view here
# takes its place.  A program named on the command line is started.
printf 'diff\r\nTEXTBOX=N\r\nALLPAGE=N' > "$work/bin/Vergle.ini"
(cd "$samples" && "$vergle" budget_v1.xlsx budget_v2.xlsx) > "$work/out" 2>&1
check "old default: exit 1" test $? -eq 1
check "old default: the view here" cmp -s "$work/out" "$expected/budget.txt"
VERGLE_RECORD=$work/record "$vergle" --program "$recorder" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "--program over the old default" test $? -eq 0
"$vergle" --no-program --save
check "--no-program --save: empty first line" test "$(head -c 2 "$work/bin/Vergle.ini" | od -An -c | tr -d ' ')" = '\r\n'
printf '%s\r\nTEXTBOX=N\r\nALLPAGE=N' "$recorder" > "$work/bin/Vergle.ini"
VERGLE_RECORD=$work/record "$vergle" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "program from the settings" test $? -eq 0
(cd "$samples" && "$vergle" --no-program budget_v1.xlsx budget_v2.xlsx) > "$work/out" 2>&1
check "--no-program over the settings" cmp -s "$work/out" "$expected/budget.txt"
rm -f "$work/bin/Vergle.ini"

# Sheets added, removed and renamed, in workbooks written by openpyxl.
if ! "$python" -c "import openpyxl" 2> /dev/null; then python=/usr/bin/python3; fi
if "$python" -c "import openpyxl" 2> /dev/null; then
    (cd "$work" && "$python" - <<'PY'
import openpyxl
def book(path, sheets):
    wb = openpyxl.Workbook()
    wb.remove(wb.active)
    for name, rows in sheets:
        ws = wb.create_sheet(name)
        for r in rows:
            ws.append(r)
    wb.save(path)
book("v1.xlsx", [("一覧", [["名前", "数"], ["りんご", 3], ["みかん", 5]]), ("旧シート", [["x", 1]]),
                 ("Same", [["keep", 1], ["this", 2]]), ("空", [])])
book("v2.xlsx", [("一覧", [["名前", "数"], ["りんご", 4], ["みかん", 5]]), ("Same 2", [["keep", 1], ["this", 2]]),
                 ("新シート", [["y", 2]]), ("空", [])])
PY
    )
    (cd "$work" && "$vergle" v1.xlsx v2.xlsx) > "$work/out" 2>&1
    check "sheets: exit 1" test $? -eq 1
    cat > "$work/want" <<'EOF2'
--- v1.xlsx: 一覧
+++ v2.xlsx: 一覧
@@ -1,3 +1,3 @@ 一覧
 1 1	名前	数
~2 2	りんご	B2: [-3-]{+4+}
 3 3	みかん	5
--- v1.xlsx: 旧シート
+++ /dev/null
@@ -1 +0,0 @@ 旧シート
-1  	x	1
--- v1.xlsx: Same
+++ v2.xlsx: Same 2
# renamed: Same → Same 2
--- /dev/null
+++ v2.xlsx: 新シート
@@ -0,0 +1 @@ 新シート
+  1	y	2
EOF2
    check "sheets added, removed and renamed" cmp -s "$work/out" "$work/want"
    cmp -s "$work/out" "$work/want" || diff -u "$work/want" "$work/out"
    (cd "$work" && "$vergle" --text v1.xlsx) > "$work/out"
    check "--text: a header for each sheet, empty ones too" \
        test "$(grep '^===' "$work/out" | tr '\n' '|')" = "=== 一覧 ===|=== 旧シート ===|=== Same ===|=== 空 ===|"
else
    echo "python3-openpyxl not found: added and removed sheets skipped"
fi

# --text on every document of the corpus: valid UTF-8 with LF line ends,
# one header for each file a comparison writes (a stand-in program lists
# them), the pages and slides in their order.
cat > "$work/list-first" <<'EOF2'
#!/bin/sh
ls -1v "$1" > "$VERGLE_RECORD"
EOF2
chmod +x "$work/list-first"
if [ -n "$corpus" ] && [ -d "$corpus" ]; then
    n=0
    while IFS= read -r -d '' doc; do
        "$vergle" --text --textbox "$doc" > "$work/text" 2> /dev/null < /dev/null
        rc=$?
        rm -f "$work/record"
        VERGLE_RECORD=$work/record "$vergle" --textbox --program "$work/list-first" "$doc" "$doc" > /dev/null 2>&1 < /dev/null
        rc2=$?
        check "--text and a comparison agree on $doc" test $rc -eq $((rc2 == 0 ? 0 : 2))
        [ $rc -eq 0 ] || continue
        n=$((n + 1))
        "$vergle" --textbox --html "$work/self.html" "$doc" "$doc" > "$work/view" 2>&1 < /dev/null
        check "the view of $doc against itself: nothing, exit 0" test $? -eq 0 -a ! -s "$work/view"
        check "the report of $doc against itself" grep -q 'No differences' "$work/self.html"
        check "UTF-8: $doc" iconv -f UTF-8 -t UTF-8 "$work/text" -o /dev/null
        check "no CR: $doc" test "$(tr -cd '\r' < "$work/text" | wc -c)" -eq 0
        heads=$(grep '^=== .* ===$' "$work/text" | sed 's/^=== \(.*\) ===$/\1/')
        check "one header per file: $doc" test "$(grep -c '^=== .* ===$' "$work/text")" -eq "$(wc -l < "$work/record")"
        case $doc in
        *.docx|*.docm|*.pptx|*.pptm) check "pages in order: $doc" test "$heads" = "$(cat "$work/record")" ;;
        esac
    done < <(find "$corpus" -type f \( -name '*.xls' -o -name '*.xlsx' -o -name '*.xlsm' -o -name '*.docx' \
                 -o -name '*.docm' -o -name '*.pptx' -o -name '*.pptm' \) -print0 | sort -z)
    check "corpus documents read: $n" test "$n" -gt 100
    check "temporary folder left as found after the corpus" test -z "$(ls -A "$TEMP")"
else
    echo "corpus not found: corpus checks skipped"
fi

echo "cli view: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
