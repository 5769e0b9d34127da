#!/bin/bash
# Two folders compared from the command line: the view of the trees (diff
# -r's habits), -q, the exit statuses, renames found by content, refused
# documents in their place, links, many documents, and the whole corpus
# against a changed copy of itself.
#   test_cli_tree.sh VERGLE RECORD_COMPARE CORPUS_DIR
# The expected view of the sample trees is cli_expected/tree.txt; run with
# VERGLE_UPDATE_EXPECTED=1 to write it anew (then read the changes).
set -u
vergle_src=$1 recorder=$2 corpus=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../../samples" && pwd)
expected=$here/cli_expected
work=$(mktemp -d)
trap 'chmod 700 "$work/trees/new/closed" 2> /dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/temp"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp XDG_CONFIG_HOME=$work/config
{ export LANG=ja_JP.UTF-8; unset LC_ALL LC_MESSAGES; } 2> /dev/null
unset NO_COLOR
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# The sample trees: a workbook and a document changed, one unchanged deep
# down, one moved and renamed with its text, one only in each tree, one
# password-protected on both sides, names with blanks and Japanese, a text
# file and an office owner file that are left out.
t=$work/trees
mkdir -p "$t/old/報告書" "$t/old/深い/階層/の中" "$t/new/報告書" "$t/new/保管 2023" "$t/new/深い/階層/の中"
cp "$samples/budget_v1.xlsx" "$t/old/予算 表.xlsx"
cp "$samples/budget_v2.xlsx" "$t/new/予算 表.xlsx"
cp "$samples/report_v1.docx" "$t/old/報告書/report.docx"
cp "$samples/report_v2.docx" "$t/new/報告書/report.docx"
cp "$samples/report_v2.docx" "$t/old/報告書/議事 録.docx"
cp "$samples/report_v2.docx" "$t/new/保管 2023/議事 録 (旧).docx"
cp "$samples/budget_v1.xlsx" "$t/old/深い/階層/の中/same.XLSX"
cp "$samples/budget_v1.xlsx" "$t/new/深い/階層/の中/same.XLSX"
cp "$samples/budget_v1.xlsx" "$t/old/gone.xlsx"
cp "$samples/report_v1.docx" "$t/new/報告書/added.docx"
echo notes > "$t/old/notes.txt"
echo owner > "$t/new/~\$予算 表.xlsx"
locked=no
if [ -n "$corpus" ] && [ -f "$corpus/generated/xlsx_password_open__libreoffice.xlsx" ]; then
    locked=yes
    cp "$corpus/generated/xlsx_password_open__libreoffice.xlsx" "$t/old/locked.xlsx"
    cp "$corpus/generated/xlsx_password_open__libreoffice.xlsx" "$t/new/locked.xlsx"
else
    # A package cut short stands in for it.
    head -c 3000 "$samples/budget_v1.xlsx" > "$t/old/locked.xlsx"
    cp "$t/old/locked.xlsx" "$t/new/locked.xlsx"
fi

(cd "$t" && "$vergle" old new) > "$work/out" 2> "$work/err" < /dev/null
rc=$?
[ -n "${VERGLE_UPDATE_EXPECTED:-}" ] && [ $locked = yes ] && cp "$work/out" "$expected/tree.txt"
check "trees: exit 2 (a refused document)" test $rc -eq 2
# The expected view holds the password-protected package's line.
if [ $locked = yes ]; then
    check "trees: the view" cmp -s "$work/out" "$expected/tree.txt"
    cmp -s "$work/out" "$expected/tree.txt" || diff -u "$expected/tree.txt" "$work/out" | head -40
    check "trees: the messages of the refused documents: $(cat "$work/err")" test "$(cat "$work/err")" = \
        "$(printf 'Vergle: 読み取りパスワードが設定されているファイルはサポート対象外です。(%s)\n' old/locked.xlsx new/locked.xlsx)"
else
    # A cut package instead: its lines say so, the rest is the same view.
    check "trees: a cut package refused in its place" test "$(grep '^=== ' "$work/out" | grep locked)" = \
        "$(printf '=== %s/locked.xlsx: 読めないため比較できません: 途中で切れています ===\n' old new)"
    check "trees: the view" cmp -s <(grep -v '^=== .*/locked\.xlsx: ' "$work/out") \
        <(grep -v '^=== .*/locked\.xlsx: ' "$expected/tree.txt")
fi
# Each pair's sections are those of the two documents compared alone.
(cd "$t" && "$vergle" "old/予算 表.xlsx" "new/予算 表.xlsx") > "$work/pair" 2>&1
awk '/^diff /{on = ($0 == "diff old/予算 表.xlsx new/予算 表.xlsx"); next} on' "$work/out" > "$work/section"
check "trees: a pair as the two documents alone" cmp -s "$work/pair" "$work/section"
check "trees: nothing left under TEMP" test -z "$(ls -A "$TEMP")"

# -q: what differs, one line each; labels name the trees.
rm "$t/old/locked.xlsx" "$t/new/locked.xlsx"
(cd "$t" && "$vergle" -q --label 旧 --label 新 old new) > "$work/out" 2>&1
check "-q: exit 1" test $? -eq 1
check "-q: the list: $(cat "$work/out")" test "$(cat "$work/out")" = "旧 のみに存在: gone.xlsx
ファイル 旧/予算 表.xlsx と 新/予算 表.xlsx は異なります
ファイル 旧/報告書/議事 録.docx の名前が 新/保管 2023/議事 録 (旧).docx に変わりました
新/報告書 のみに存在: added.docx
ファイル 旧/報告書/report.docx と 新/報告書/report.docx は異なります"
out=$(cd "$t" && env LANG=C "$vergle" --brief old new)
check "-q in English: $out" test "$out" = "Only in old: gone.xlsx
Files old/予算 表.xlsx and new/予算 表.xlsx differ
File old/報告書/議事 録.docx renamed to new/保管 2023/議事 録 (旧).docx
Only in new/報告書: added.docx
Files old/報告書/report.docx and new/報告書/report.docx differ"

# The exit statuses: the same trees 0 (nothing shown), differences 1.
(cd "$t" && "$vergle" old old) > "$work/out" 2>&1
check "the same tree: exit 0" test $? -eq 0
check "the same tree: nothing shown" test ! -s "$work/out"
mkdir "$t/empty1" "$t/empty2"
(cd "$t" && "$vergle" empty1 empty2) > "$work/out" 2>&1
check "two folders without documents: exit 0" test $? -eq 0 -a ! -s "$work/out"
(cd "$t" && env LANG=C "$vergle" empty1 new) > "$work/out" 2>&1
check "an empty folder against a tree: exit 1" test $? -eq 1
check "an empty folder against a tree: every document added" test "$(grep -c '^Only in new' "$work/out")" -eq 5
(cd "$t" && "$vergle" old "old/gone.xlsx") > "$work/out" 2> "$work/err"
check "a folder and a file: exit 2" test $? -eq 2
check "a folder and a file: the message" grep -q "フォルダとファイルは比較できません" "$work/err"
(cd "$t" && env LANG=C.UTF-8 "$vergle" old nwe) > "$work/out" 2> "$work/err"
check "a folder and a missing name: exit 2" test $? -eq 2
check "a folder and a missing name: told as missing" test "$(cat "$work/err")" = "Vergle: Cannot open the file (nwe): no such file"

# One processor or two: the same view (the pool's order never shows).
if command -v taskset > /dev/null; then
    (cd "$t" && taskset -c 0 "$vergle" old new) > "$work/one" 2>&1
    (cd "$t" && "$vergle" old new) > "$work/all" 2>&1
    check "one processor or all: the same view" cmp -s "$work/one" "$work/all"
fi

# The folder-compare program gets the two text trees (code page 932).
VERGLE_RECORD=$work/record "$vergle" --program "$recorder" "$t/old" "$t/new" < /dev/null
check "program: exit 0" test $? -eq 0
check "program: the mirrored trees" grep -q '^  報告書/議事 録.docx/ページ001=' "$work/record"
check "program: a document alone on its side" grep -q '^  報告書/added.docx/ページ001=' "$work/record"

# --html: the report of the trees.
(cd "$t" && "$vergle" --html "$work/tree.html" old new) > /dev/null 2>&1
check "--html: exit 1" test $? -eq 1
check "--html: the documents counted" grep -q 'id="count-docs-changed">2<' "$work/tree.html"
check "--html: the rename noted" grep -qF 'Renamed: 報告書/議事 録.docx → 保管 2023/議事 録 (旧).docx' "$work/tree.html"

# Links: a link to a document inside the tree is taken; one to a document
# outside it, one to a folder (here its own parent: a loop) are not
# followed, and said so; the status is not touched.
ln -s "../予算 表.xlsx" "$t/new/報告書/link in.xlsx"
ln -s "$samples/budget_v1.xlsx" "$t/new/outside.xlsx"
ln -s .. "$t/new/深い/loop"
(cd "$t" && "$vergle" -q old new) > "$work/out" 2> "$work/err"
check "links: exit 1" test $? -eq 1
check "links: the link inside taken" grep -qx 'new/報告書 のみに存在: link in.xlsx' "$work/out"
check "links: the link outside not taken" test -z "$(grep outside "$work/out")"
check "links: said so: $(cat "$work/err")" test "$(cat "$work/err")" = "$(printf '%s\n' \
    "Vergle: リンクはたどりません(フォルダへのリンクか、フォルダの外を指すリンクです)。(new/outside.xlsx)" \
    "Vergle: リンクはたどりません(フォルダへのリンクか、フォルダの外を指すリンクです)。(new/深い/loop)")"
rm "$t/new/報告書/link in.xlsx" "$t/new/outside.xlsx" "$t/new/深い/loop"

# A folder that cannot be listed: said so, the rest compared, status 2.
if [ "$(id -u)" -ne 0 ]; then
    mkdir "$t/new/closed" && chmod 000 "$t/new/closed"
    (cd "$t" && "$vergle" -q old new) > "$work/out" 2> "$work/err"
    check "closed folder: exit 2" test $? -eq 2
    check "closed folder: the message" grep -q "フォルダを読めません。(new/closed)" "$work/err"
    check "closed folder: the rest compared" grep -q "added.docx" "$work/out"
    chmod 700 "$t/new/closed" && rmdir "$t/new/closed"
fi

# Many documents: 600 on each side, one of them changed.  Links to a copy
# of our own: a link to the sample itself would change its stamp while
# other tests read it (and they would rightly call it changed).
mkdir -p "$work/many/a" "$work/many/b"
cp "$samples/budget_v1.xlsx" "$work/many/book.xlsx"
for i in $(seq 1 600); do
    d=$((i % 12))
    mkdir -p "$work/many/a/d$d" "$work/many/b/d$d"
    ln "$work/many/book.xlsx" "$work/many/a/d$d/book $i.xlsx"
    ln "$work/many/book.xlsx" "$work/many/b/d$d/book $i.xlsx"
done
rm "$work/many/book.xlsx"
rm "$work/many/b/d7/book 307.xlsx" && cp "$samples/budget_v2.xlsx" "$work/many/b/d7/book 307.xlsx"
(cd "$work/many" && "$vergle" -q a b) > "$work/out" 2>&1
check "600 documents: exit 1" test $? -eq 1
check "600 documents: the one changed: $(head -3 "$work/out")" \
    test "$(cat "$work/out")" = "ファイル a/d7/book 307.xlsx と b/d7/book 307.xlsx は異なります"
check "600 documents: nothing left under TEMP" test -z "$(ls -A "$TEMP")"

# The corpus against a copy of itself with a document removed, one moved,
# one renamed and one added: every document is read (or refused) in its
# place, and only what changed shows.
if [ -n "$corpus" ] && [ -d "$corpus/generated" ]; then
    mkdir -p "$work/corpus"
    cp -r "$corpus/generated" "$corpus/public" "$work/corpus/" 2> /dev/null
    cp -r "$work/corpus" "$work/copy"
    rm "$work/copy/generated/xlsx_basic_types__libreoffice.xlsx"
    mv "$work/copy/generated/docx_tables__libreoffice.docx" "$work/copy/public/moved tables.docx"
    mv "$work/copy/generated/pptx_many_slides__libreoffice.pptx" "$work/copy/generated/スライド 多数.pptx"
    cp "$samples/report_v1.docx" "$work/copy/generated/new report.docx"
    (cd "$work" && env LANG=C "$vergle" -q corpus copy) > "$work/out" 2> "$work/err"
    check "corpus: exit 2 (it holds documents to refuse)" test $? -eq 2
    check "corpus: what changed: $(cat "$work/out")" test "$(cat "$work/out")" = "Only in copy/generated: new report.docx
Only in corpus/generated: xlsx_basic_types__libreoffice.xlsx
File corpus/generated/pptx_many_slides__libreoffice.pptx renamed to copy/generated/スライド 多数.pptx
File corpus/generated/docx_tables__libreoffice.docx renamed to copy/public/moved tables.docx"
    # Every document refused in the trees is one that --text refuses alone,
    # and the other way round (refused on both sides: two messages).
    : > "$work/alone"
    while IFS= read -r -d '' f; do
        case ${f,,} in
        *.xls | *.xlsx | *.xlsm | *.docx | *.docm | *.pptx | *.pptm)
            case ${f##*/} in '~$'*) continue ;; esac
            "$vergle" --text "$f" > /dev/null 2>&1 < /dev/null || echo "${f#"$work"/}" >> "$work/alone"
            ;;
        esac
    done < <(find "$work/corpus" -type f -print0)
    sed -n 's/^Vergle: .*\(corpus\/[^)]*\).*$/\1/p' "$work/err" | sort -u > "$work/in-tree"
    sort -u "$work/alone" > "$work/alone.sorted"
    check "corpus: the refused ones are those --text refuses ($(wc -l < "$work/alone.sorted"))" \
        cmp -s "$work/in-tree" "$work/alone.sorted"
    cmp -s "$work/in-tree" "$work/alone.sorted" || diff "$work/alone.sorted" "$work/in-tree" | head
    check "corpus: nothing left under TEMP" test -z "$(ls -A "$TEMP")"
else
    echo "corpus not found: its trees skipped"
fi

echo "cli tree: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
