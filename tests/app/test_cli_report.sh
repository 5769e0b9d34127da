#!/bin/bash
# The HTML report (--html) in a real browser: headless Chromium from the
# distribution loads each report from a file, runs its script and gives back
# the document it built (--dump-dom).  Checked: the page loads without a
# script error, the counts at its top are right, changed cells, inserted
# rows and columns carry their classes, nothing is fetched from elsewhere,
# and the keys go from change to change.
#   test_cli_report.sh VERGLE PYTHON
set -u
vergle_src=$1 python=${2:-python3}
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../../samples" && pwd)
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
    echo "chromium not found (scripts/install-deps.sh native installs it): skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/temp"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# dom PAGE: the document Chromium built from the page, into PAGE.dom; its
# console (script errors included) into PAGE.log.
dom() {
    local profile
    profile=$(mktemp -d "$work/profile.XXXXXX")
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" \
        --enable-logging=stderr --v=0 --virtual-time-budget=2000 --dump-dom "file://$1" > "$1.dom" 2> "$1.log"
}

# What the checks read of a page's document: the counts, how many elements
# carry each class, the attribute the script sets, what would be fetched.
facts() {
    "$python" - "$1" <<'PY'
import sys
from html.parser import HTMLParser
class Facts(HTMLParser):
    def __init__(self):
        super().__init__()
        self.classes, self.ids, self.at, self.html, self.fetch = {}, {}, None, {}, []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "html":
            self.html = a
        for c in (a.get("class") or "").split():
            self.classes[c] = self.classes.get(c, 0) + 1
        if a.get("id", "").startswith("count-"):
            self.at = a["id"]
        for k in ("src", "href"):
            if a.get(k) and not a[k].startswith("#"):
                self.fetch.append(a[k])
        if tag == "link":
            self.fetch.append(a.get("href", ""))
    def handle_data(self, data):
        if self.at:
            self.ids[self.at] = data.strip()
            self.at = None
f = Facts()
f.feed(open(sys.argv[1], encoding="utf-8").read())
for k, v in sorted(f.ids.items()):
    print("%s=%s" % (k, v))
for k, v in sorted(f.classes.items()):
    print("class.%s=%d" % (k, v))
print("changes=%s" % f.html.get("data-changes", ""))
print("fetch=%s" % " ".join(f.fetch))
PY
}

fact() { grep -m1 "^$2=" "$1" | cut -d= -f2-; }

# report NAME ARGS...: writes the report of the documents, loads it, keeps
# its facts in NAME.facts.
report() {
    local name=$1; shift
    (cd "$samples" && "$vergle" --html "$work/$name.html" "$@") > "$work/$name.out" 2> "$work/$name.err" < /dev/null
    check "$name: the view's status" test $? -eq 1
    check "$name: the report written" test -s "$work/$name.html"
    dom "$work/$name.html"
    check "$name: Chromium read it" test -s "$work/$name.html.dom"
    check "$name: no script error: $(grep -m1 -i 'uncaught\|error.*\.html' "$work/$name.html.log")" \
        test -z "$(grep -i 'uncaught\|SyntaxError\|ReferenceError\|TypeError' "$work/$name.html.log")"
    facts "$work/$name.html.dom" > "$work/$name.facts"
    check "$name: the script ran" test -n "$(fact "$work/$name.facts" changes)"
    check "$name: nothing fetched: $(fact "$work/$name.facts" fetch)" test -z "$(fact "$work/$name.facts" fetch)"
}

# The sample workbooks: two sheets changed, seven cells, one row inserted.
report budget budget_v1.xlsx budget_v2.xlsx
f=$work/budget.facts
check "workbooks: counts" test "$(fact "$f" count-changed)/$(fact "$f" count-added)/$(fact "$f" count-removed)" = "2/0/0"
check "workbooks: cells changed" test "$(fact "$f" count-cells)" = 7
check "workbooks: rows inserted" test "$(fact "$f" count-rows-ins)" = 1
check "workbooks: changed cells carry their class" test "$(fact "$f" class.cell-chg)" = 7
check "workbooks: the inserted row carries its class" test "$(fact "$f" class.row-ins)" = 1
check "workbooks: every change reachable" test "$(fact "$f" changes)" = 7

# The sample documents: two pages changed side by side, words marked.
report documents report_v1.docx report_v2.docx
f=$work/documents.facts
check "documents: pages changed" test "$(fact "$f" count-changed)" = 2
check "documents: lines changed" test "$(fact "$f" count-lines)" = 4
check "documents: lines inserted" test "$(fact "$f" count-rows-ins)" = 1
check "documents: words marked" grep -q '<ins>7</ins>' "$work/documents.html.dom"

# Two folders: the documents counted at the top, each that differs under
# its path, a rename and a document of one side noted.
mkdir -p "$work/t/old/sub" "$work/t/new/sub" "$work/t/new/moved"
cp "$samples/budget_v1.xlsx" "$work/t/old/予算.xlsx"
cp "$samples/budget_v2.xlsx" "$work/t/new/予算.xlsx"
cp "$samples/report_v1.docx" "$work/t/old/sub/report.docx"
cp "$samples/report_v2.docx" "$work/t/new/sub/report.docx"
cp "$samples/report_v2.docx" "$work/t/old/sub/memo.docx"
cp "$samples/report_v2.docx" "$work/t/new/moved/memo 2.docx"
cp "$samples/budget_v1.xlsx" "$work/t/new/added.xlsx"
(cd "$work/t" && "$vergle" --html "$work/trees.html" old new) > /dev/null 2>&1 < /dev/null
check "trees: the view's status" test $? -eq 1
dom "$work/trees.html"
check "trees: no script error" test -z "$(grep -i 'uncaught\|SyntaxError\|ReferenceError\|TypeError' "$work/trees.html.log")"
facts "$work/trees.html.dom" > "$work/trees.facts"
f=$work/trees.facts
check "trees: documents changed/renamed/added/removed/refused" test \
    "$(fact "$f" count-docs-changed)/$(fact "$f" count-docs-renamed)/$(fact "$f" count-docs-added)/$(fact "$f" count-docs-removed)/$(fact "$f" count-docs-refused)" = "2/1/1/0/0"
# Each of the four: a heading and an entry (and the names of the two
# folders at the top).
check "trees: a heading for each document shown (and its entry)" test "$(fact "$f" class.doc)" = 10
check "trees: the sheets' cells as for two workbooks" test "$(fact "$f" count-cells)" = 7
check "trees: nothing fetched" test -z "$(fact "$f" fetch)"

# A column inserted, a row deleted and a cell with control characters, in
# workbooks written by openpyxl.
if ! "$python" -c "import openpyxl" 2> /dev/null; then python=/usr/bin/python3; fi
if "$python" -c "import openpyxl" 2> /dev/null; then
    (cd "$work" && "$python" - <<'PY'
import openpyxl, zipfile
def book(path, rows):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "表"
    for r in rows:
        ws.append(r)
    wb.save(path)
rows = [["品名", "数量", "単価"]] + [["品目%d" % r, r, r * 10] for r in range(2, 30)]
v2 = [[r[0], "産地" if r[0] == "品名" else "国内"] + r[1:] for r in rows]
del v2[14]
v2[20][3] = 12345
v2[5][0] = "CTRL"
book("cols_v1.xlsx", rows)
book("cols_v2.xlsx", v2)
with zipfile.ZipFile("cols_v2.xlsx") as z:
    infos = z.infolist()
    data = {i.filename: z.read(i.filename) for i in infos}
with zipfile.ZipFile("cols_v2.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
    for i in infos:
        z.writestr(i, data[i.filename].replace(b">CTRL<", b">\x1b[31m&lt;script&gt;x&lt;/script&gt;&#xD;<"))
PY
    )
    (cd "$work" && "$vergle" --html "$work/cols.html" cols_v1.xlsx cols_v2.xlsx) > /dev/null 2>&1 < /dev/null
    check "columns: status" test $? -eq 1
    dom "$work/cols.html"
    facts "$work/cols.html.dom" > "$work/cols.facts"
    f=$work/cols.facts
    check "columns: counts" test "$(fact "$f" count-cols-ins)/$(fact "$f" count-rows-del)/$(fact "$f" count-cells)" = "1/1/2"
    check "columns: the inserted column's header and cells carry its class" test "$(fact "$f" class.col-ins)" -ge 8
    check "columns: the deleted row carries its class" test "$(fact "$f" class.row-del)" = 1
    check "columns: no raw escape in the page" test -z "$(tr -cd '\033\r' < "$work/cols.html")"
    check "columns: the cell's text shown, not run" grep -qF '^[[31m&lt;script&gt;x&lt;/script&gt;^M' "$work/cols.html"
fi

# The keys: "n" twice and "p" once leave the second change current.
sed 's#</body>#<script>["n","n","n","p"].forEach(function(k){document.dispatchEvent(new KeyboardEvent("keydown",{key:k}));});var c=document.querySelectorAll(".change"),i=-1;for(var k=0;k<c.length;k++)if(c[k].classList.contains("current"))i=k;document.documentElement.setAttribute("data-current",String(i));</script></body>#' \
    "$work/budget.html" > "$work/keys.html"
dom "$work/keys.html"
check "keys: n, n, n, p reach the second change" grep -q 'data-current="1"' "$work/keys.html.dom"

echo "cli report: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
