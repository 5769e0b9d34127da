#!/bin/bash
# A comparison run from the outside, where it meets the system: where it
# writes (its own folder and nothing else), documents that change or are
# damaged while they are read, interrupts, and the compare program's end.
#   test_cli_runs.sh VERGLE RECORD_COMPARE
set -u
vergle_src=$1 recorder=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/temp" "$work/docs"
cp "$vergle_src" "$work/bin/vergle"
vergle=$work/bin/vergle
export TEMP=$work/temp
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
passed=0 failed=0

check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
bin_listing() { ls -A "$work/bin" | tr '\n' ' '; }
bin_before=$(bin_listing)

# A workbook that cannot be unpacked in memory but is well within the size
# budget (here a limit on the process's memory): refused with the memory
# message, and nothing is written anywhere else, under TEMP or beside the
# program.
python3 - "$work/docs/wide.xlsx" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("xl/workbook.xml", '<workbook><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>')
    with z.open("xl/worksheets/sheet1.xml", "w") as f:
        f.write(b'<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>x</t></is></c></row>')
        for _ in range(300):
            f.write(b" " * (1 << 20))
        f.write(b"</sheetData></worksheet>")
PY
err=$( (ulimit -v 250000; "$vergle" --program "$recorder" "$work/docs/wide.xlsx" "$samples/budget_v1.xlsx" 2>&1 < /dev/null) )
rc=$?
if grep -q Sanitizer <<< "$err"; then
    echo "memory limit: skipped (the sanitizers need more address space)"
else
    check "memory: exit 2 ($rc)" test $rc -eq 2
    check "memory: the memory message ($err)" grep -q "TABX-00002" <<< "$err"
    check "memory: nothing left under TEMP" test -z "$(ls -A "$work/temp")"
fi

check "nothing ever written beside the program" test "$(bin_listing)" = "$bin_before"
echo "cli runs: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
