#!/bin/bash
# The built-in view on documents built here (openpyxl, python-docx) and on
# copies of a corpus presentation: sections aligned by content (sheets
# renamed, moved, renamed and edited; slides and pages deleted, inserted,
# moved; a page break inserted), rows and columns inserted, a row inserted
# beside an edited row, cells that run over lines, Japanese words marked,
# control characters shown escaped.  The outputs are compared whole with
# cli_expected/align_*.txt (VERGLE_UPDATE_EXPECTED=1 writes them anew: then
# read the changes).
#   test_cli_align.sh VERGLE PYTHON CORPUS_DIR
set -u
vergle_src=$1 python=${2:-python3} corpus=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
expected=$here/cli_expected
if ! "$python" -c "import openpyxl, docx" 2> /dev/null; then python=/usr/bin/python3; fi
if ! "$python" -c "import openpyxl, docx" 2> /dev/null; then
    echo "python3-openpyxl or python3-docx not found: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/temp" "$work/docs"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# expect NAME FILE STATUS ARGS...: the view of the documents (in the docs
# folder) compared byte for byte; nothing on standard error.
expect() {
    local name=$1 file=$2 status=$3; shift 3
    (cd "$work/docs" && "$vergle" "$@") > "$work/out" 2> "$work/err" < /dev/null
    local rc=$?
    [ -n "${VERGLE_UPDATE_EXPECTED:-}" ] && cp "$work/out" "$expected/$file"
    check "$name: exit $rc" test $rc -eq "$status"
    check "$name: output" cmp -s "$work/out" "$expected/$file"
    cmp -s "$work/out" "$expected/$file" || diff -u "$expected/$file" "$work/out" | head -40
    check "$name: nothing on standard error: $(cat "$work/err")" test ! -s "$work/err"
}

(cd "$work/docs" && "$python" - "$corpus" <<'PY'
import os, re, sys, zipfile
import openpyxl
import docx
from docx.enum.text import WD_BREAK

def book(path, sheets):
    wb = openpyxl.Workbook()
    wb.remove(wb.active)
    for name, rows in sheets:
        ws = wb.create_sheet(name)
        for r in rows:
            ws.append(r)
    wb.save(path)

budget = [["費目", "金額", "備考"], ["旅費", 120000, "出張2回"], ["備品", 45800, ""], ["合計", 165800, ""]]
edited = [["費目", "金額", "備考"], ["旅費", 135000, "出張3回"], ["備品", 45800, ""], ["合計", 180800, ""]]
listing = [["No", "品名"], [1, "りんご"], [2, "みかん"], [3, "ぶどう"]]
memo = [["メモ"], ["四月に見直す"]]
old = [["廃止", 1], ["x", 2]]
new = [["新設", 1], ["y", 2], ["z", 3]]
# Renamed and edited, renamed alone, deleted and inserted, empty in both.
book("sheets_v1.xlsx", [("予算", budget), ("一覧", listing), ("旧", old), ("空", [])])
book("sheets_v2.xlsx", [("予算 2025", edited), ("一覧 改", listing), ("新", new), ("空", [])])
# Moved: the same sheets in another order.
book("order_v1.xlsx", [("予算", budget), ("一覧", listing), ("メモ", memo)])
book("order_v2.xlsx", [("一覧", listing), ("メモ", memo), ("予算", budget)])

# A 40-row sheet: a row inserted at 10, a row inserted right before the
# edited row 25, a column inserted (B), a cell with two lines at row 3 and
# rows after it keeping their numbers; control characters in a cell.
rows = [["品名", "数量", "単価", "備考"]]
for r in range(2, 41):
    rows.append(["品目%02d" % r, r * 3, r * 100, "2行目あり\n二行目" if r == 3 else "通常"])
v2 = [list(x) for x in rows]
v2[24][1] = 999                       # row 25: 75 -> 999
v2.insert(24, ["追加B", 1, 1, "新しい行"])  # inserted before it
v2.insert(9, ["追加A", 5, 5, "新しい行"])   # inserted at row 10
v2[39][3] = "CTRL"                    # row 38 of the first (now 40): control characters
for r in v2:
    r.insert(1, "産地" if r[0] == "品名" else "国内")
book("rows_v1.xlsx", [("在庫", rows)])
book("rows_v2.xlsx", [("在庫", v2)])
def patch(path, old, new):
    data = {}
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        for i in infos:
            data[i.filename] = z.read(i.filename)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for i in infos:
            z.writestr(i, data[i.filename].replace(old, new))
# ESC sequences that would clear the screen, and a carriage return.
patch("rows_v2.xlsx", b">CTRL<", b">\x1b[2J\x1b[Hwiped&#xD;fake<")

# Pages: five pages, each a heading and two paragraphs.
def document(path, pages):
    d = docx.Document()
    for k, page in enumerate(pages):
        for t in page:
            p = d.add_paragraph(t)
        if k + 1 < len(pages):
            p.add_run().add_break(WD_BREAK.PAGE)
    d.save(path)
pages = [["第%d章 %s" % (n, title), "%sについての本文。" % title, "売上は前年比 %d%% 増えました。" % (n * 2)]
         for n, title in [(1, "概要"), (2, "市場"), (3, "製品"), (4, "販売"), (5, "課題")]]
document("pages_v1.docx", pages)
document("pages_deleted.docx", pages[:1] + pages[2:])
document("pages_moved.docx", pages[:1] + pages[2:4] + pages[1:2] + pages[4:])
split = [list(p) for p in pages]
document("pages_break.docx", split[:2] + [split[2][:1], split[2][1:]] + split[3:])
words = [list(p) for p in pages]
words[3][1] = "販売についての改訂本文。"
words[3][2] = "売上は前年比 9% 増えました。"
words[4][0] = "第5章 今後の課題"
document("pages_words.docx", words)

# Slides: copies of a corpus presentation with its slide list edited.
deck = os.path.join(sys.argv[1], "generated", "pptx_many_slides__libreoffice.pptx") if sys.argv[1] else ""
if deck and os.path.exists(deck):
    with zipfile.ZipFile(deck) as z:
        infos = z.infolist()
        data = {i.filename: z.read(i.filename) for i in infos}
    ids = re.findall(rb"<p:sldId [^>]*/>", data["ppt/presentation.xml"])
    def slides(path, order):
        lst = b"".join(ids[k] for k in order)
        pres = re.sub(rb"<p:sldIdLst>.*</p:sldIdLst>", b"<p:sldIdLst>" + lst + b"</p:sldIdLst>",
                      data["ppt/presentation.xml"])
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
            for i in infos:
                z.writestr(i, pres if i.filename == "ppt/presentation.xml" else data[i.filename])
    n = len(ids)
    slides("deck_v1.pptx", list(range(n)))
    slides("deck_deleted.pptx", [k for k in range(n) if k != 2])
    slides("deck_moved.pptx", [0, 1, 3, 4, 5, 2] + list(range(6, n)))
PY
) || { echo "documents not built"; exit 1; }

expect "sheets renamed, edited, deleted, inserted" align_sheets.txt 1 sheets_v1.xlsx sheets_v2.xlsx
expect "a sheet moved" align_moved_sheet.txt 1 order_v1.xlsx order_v2.xlsx
expect "rows and a column inserted, a row beside an edited one" align_rows.txt 1 rows_v1.xlsx rows_v2.xlsx
expect "a page deleted" align_page_deleted.txt 1 pages_v1.docx pages_deleted.docx
expect "a page inserted" align_page_inserted.txt 1 pages_deleted.docx pages_v1.docx
expect "a page moved" align_page_moved.txt 1 pages_v1.docx pages_moved.docx
expect "a page break inserted" align_page_break.txt 1 pages_v1.docx pages_break.docx
expect "Japanese words" align_words.txt 1 pages_v1.docx pages_words.docx
check "no escape or carriage return reaches the terminal" test -z "$(tr -cd '\033\r' < "$expected/align_rows.txt")"
check "the control characters shown as escapes" grep -qF '^[[2J^[[Hwiped^Mfake' "$expected/align_rows.txt"
(cd "$work/docs" && "$vergle" --keep "$work/kept" --encoding utf-8 --program true rows_v1.xlsx rows_v2.xlsx) < /dev/null
check "the text files keep the document's characters" grep -q $'\033\\[2J\033\\[Hwiped\r' "$work/kept/rows_v2/在庫"
check "the edit is marked on its row, not on the row inserted before it" \
    grep -qF 'C27: [-75-]{+999+}' "$expected/align_rows.txt"
check "the column inserted, named once" grep -qF '# column B inserted, 42 cells: 産地, 国内' "$expected/align_rows.txt"
check "a cell with two lines keeps the rows after it in place" grep -qF $' 7  7\t品目07' "$expected/align_rows.txt"

if [ -f "$work/docs/deck_v1.pptx" ]; then
    expect "a slide deleted" align_slide_deleted.txt 1 deck_v1.pptx deck_deleted.pptx
    expect "a slide inserted" align_slide_inserted.txt 1 deck_deleted.pptx deck_v1.pptx
    expect "a slide moved" align_slide_moved.txt 1 deck_v1.pptx deck_moved.pptx
    check "a deleted slide is one deletion" test "$(grep -c '^---' "$expected/align_slide_deleted.txt")" -eq 1
else
    echo "corpus not found: slides skipped"
fi
check "temporary folder left as found" test -z "$(ls -A "$TEMP")"

echo "cli align: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
