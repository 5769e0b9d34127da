#!/bin/bash
# The difference view in a real terminal (tmux): colours on by themselves,
# Japanese text in its place, NO_COLOR heeded.  The captured screens, with
# their attributes, are in cli_expected/terminal_*.txt (written anew with
# VERGLE_UPDATE_EXPECTED=1).
#   test_cli_terminal.sh VERGLE
set -u
vergle_src=$1
command -v tmux > /dev/null || { echo "tmux not found: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../../samples" && pwd)
expected=$here/cli_expected
work=$(mktemp -d)
sock=$work/tmux.sock
cleanup() { tmux -S "$sock" kill-server 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/bin" "$work/temp"
# No settings of the user's own but the test's.
export XDG_CONFIG_HOME=$work/config
cp "$vergle_src" "$work/bin/vergle"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# screen NAME COMMAND: runs the command in a fresh 100x30 terminal, waits for
# it to end, and compares the captured screen (with -e: colours as escape
# sequences) with the expected one.
screen() {
    local name=$1 command=$2
    tmux -S "$sock" -u -f /dev/null new-session -d -x 100 -y 30 -s "$name" \
        "cd '$samples' && TEMP='$work/temp' $command; echo \"[exit \$?]\"; sleep 30"
    local i
    for i in $(seq 1 100); do
        tmux -S "$sock" capture-pane -p -t "$name" | grep -q '^\[exit' && break
        sleep 0.1
    done
    tmux -S "$sock" capture-pane -p -e -t "$name" | sed -e 's/[[:space:]]*$//' -e '/^$/d' > "$work/$name.txt"
    tmux -S "$sock" kill-session -t "$name"
    [ -n "${VERGLE_UPDATE_EXPECTED:-}" ] && cp "$work/$name.txt" "$expected/terminal_$name.txt"
    check "screen $name" cmp -s "$work/$name.txt" "$expected/terminal_$name.txt"
    cmp -s "$work/$name.txt" "$expected/terminal_$name.txt" ||
        diff -u "$expected/terminal_$name.txt" "$work/$name.txt" | cat -v | head -40
}

export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset NO_COLOR
screen workbooks "'$work/bin/vergle' budget_v1.xlsx budget_v2.xlsx"
screen no_color "NO_COLOR=1 '$work/bin/vergle' report_v1.docx report_v2.docx"
# What the screens say without their attributes.
plain() { sed $'s/\033\\[[0-9;]*m//g' "$1"; }
check "changed cell: old value red, new value green" \
    grep -q $'B2: \033\\[31m\\[-120,000-\\]\033\\[32m{+135,000+}' "$work/workbooks.txt"
check "Japanese text in its place" \
    grep -q '^~2 2 *旅費 *B2: \[-120,000-\]{+135,000+} *C2: \[-25%-\]{+27%+}$' <(plain "$work/workbooks.txt")
check "no colours with NO_COLOR" test -z "$(grep $'\033' "$work/no_color.txt")"
check "exit status on the screen" grep -q '^\[exit 1\]$' <(plain "$work/workbooks.txt")
check "temporary folder left as found" test -z "$(ls -A "$work/temp")"

# The progress line of a long document on a terminal (script(1) records what
# reaches it): taken back with an escape sequence, and under TERM=dumb, which
# cannot take a line back, not shown at all: not one escape sequence.
if command -v script > /dev/null && command -v python3 > /dev/null; then
    # Sixteen sheets of 150,000 rows, so that the later ones begin after the
    # second that progress waits for even where the whole book takes two.
    python3 - "$work/long.xlsx" <<'PY'
import sys, zipfile
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
row = "<c><v>1</v></c>" * 10
sheet = '<worksheet ' + ns + '><sheetData>' + "".join('<row r="%d">%s</row>' % (r, row) for r in range(1, 150001)) + '</sheetData></worksheet>'
n = 16
parts = {
    "[Content_Types].xml": '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/></Types>',
    "_rels/.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="' + rel + '/officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml": '<workbook ' + ns + ' xmlns:r="' + rel + '"><sheets>' + "".join('<sheet name="S%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i) for i in range(1, n + 1)) + '</sheets></workbook>',
    "xl/_rels/workbook.xml.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + "".join('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i, rel, i) for i in range(1, n + 1)) + '</Relationships>',
}
parts.update({"xl/worksheets/sheet%d.xml" % i: sheet for i in range(1, n + 1)})
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in parts.items():
        z.writestr(name, text)
PY
    for term in xterm dumb; do
        script -qec "TEMP='$work/temp' TERM=$term '$work/bin/vergle' --text '$work/long.xlsx' > /dev/null" \
            "$work/typescript.$term" > /dev/null
        sed -i 1d "$work/typescript.$term"  # script's own first line
    done
    check "progress on a terminal: shown and taken back" grep -q $'\r\033\[Klong.xlsx: ' "$work/typescript.xterm"
    check "no escape sequence under TERM=dumb" test -z "$(grep $'\033' "$work/typescript.dumb")"
else
    echo "script or python3 not found: TERM=dumb skipped"
fi

echo "cli terminal: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
