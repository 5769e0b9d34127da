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
# program.  Its 300 MB lie in the shared strings, which are held whole; the
# same 300 MB between the rows of a worksheet, which is read as it is
# inflated, are no reason to refuse it.
python3 - "$work/docs/wide.xlsx" "$work/docs/long.xlsx" <<'PY'
import sys, zipfile
for path, member in ((sys.argv[1], "xl/sharedStrings.xml"), (sys.argv[2], "xl/worksheets/sheet1.xml")):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/workbook.xml", '<workbook><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>')
        if member != "xl/worksheets/sheet1.xml":
            z.writestr("xl/worksheets/sheet1.xml", '<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row></sheetData></worksheet>')
        with z.open(member, "w") as f:
            if member.startswith("xl/worksheets"):
                f.write(b'<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>x</t></is></c></row>')
            else:
                f.write(b'<sst><si><t>x</t></si>')
            for _ in range(300):
                f.write(b" " * (1 << 20))
            f.write(b"</sheetData></worksheet>" if member.startswith("xl/worksheets") else b"</sst>")
PY
err=$( (ulimit -v 250000; "$vergle" --program "$recorder" "$work/docs/wide.xlsx" "$samples/budget_v1.xlsx" 2>&1 < /dev/null) )
rc=$?
if grep -q Sanitizer <<< "$err"; then
    echo "memory limit: skipped (the sanitizers need more address space)"
else
    check "memory: exit 2 ($rc)" test $rc -eq 2
    check "memory: the memory message ($err)" grep -q "Cannot open the file ($work/docs/wide.xlsx): out of memory" <<< "$err"
    check "memory: nothing left under TEMP" test -z "$(ls -A "$work/temp")"
    err=$( (ulimit -v 250000; "$vergle" --text "$work/docs/long.xlsx" 2>&1 < /dev/null) )
    check "a long worksheet within the limit ($err)" test "$err" = "$(printf '=== S ===\nx')"
fi

# Programs that stand in for a folder-compare program.
program() {  # program NAME BODY: a shell script
    printf '#!/bin/sh\n%s\n' "$2" > "$work/$1"
    chmod +x "$work/$1"
}
export VERGLE_RECORD=$work/record.txt
runs() { ls -A "$work/temp" | grep -c '^Vergle-'; }

# A legacy workbook of one sheet: TEXT in A1 and, after FILLER kilobytes of
# records the reader passes over, in A2.
make_xls() {  # make_xls PATH TEXT FILLER
    python3 - "$@" <<'PY'
import struct, sys
path, text, filler = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
def rec(t, d): return struct.pack("<HH", t, len(d)) + d
bof = lambda k: rec(0x0809, struct.pack("<HHHHII", 0x0600, k, 0, 0, 0, 0))
label = lambda r: rec(0x0204, struct.pack("<HHHH", r, 0, 0, len(text)) + b"\x00" + text)
sheet_entry = lambda at: rec(0x0085, struct.pack("<IBBBB", at, 0, 0, 1, 0) + b"S")
glob_len = len(bof(5) + rec(0x00E0, bytes(20)) + sheet_entry(0) + rec(0x000A, b""))
stream = bof(5) + rec(0x00E0, bytes(20)) + sheet_entry(glob_len) + rec(0x000A, b"")
stream += bof(0x10) + label(0) + rec(0x1234, bytes(1000)) * filler + label(1) + rec(0x000A, b"")
stream += bytes(-len(stream) % 512 + (4096 if len(stream) < 4096 else 0))
# Compound document: header, FAT sectors, the directory, then the stream.
n = len(stream) // 512
fat_sectors = (n + 2 + 127) // 128 + 1
assert fat_sectors <= 109
fat = [0xFFFFFFFD] * fat_sectors + [0xFFFFFFFE]
first = fat_sectors + 1
fat += [first + i + 1 for i in range(n - 1)] + [0xFFFFFFFE]
fat += [0xFFFFFFFF] * (fat_sectors * 128 - len(fat))
hdr = bytearray(512)
hdr[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
struct.pack_into("<HHHHH", hdr, 24, 0x3E, 3, 0xFFFE, 9, 6)
struct.pack_into("<IIIIIIII", hdr, 44, fat_sectors, fat_sectors, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
for i in range(109): struct.pack_into("<I", hdr, 76 + 4 * i, i if i < fat_sectors else 0xFFFFFFFF)
def entry(name, kind, start, size, child=0xFFFFFFFF):
    e = bytearray(128)
    u = name.encode("utf-16-le")
    e[0:len(u)] = u
    struct.pack_into("<HBB", e, 64, len(u) + 2, kind, 1)
    struct.pack_into("<III", e, 68, 0xFFFFFFFF, 0xFFFFFFFF, child)
    struct.pack_into("<II", e, 116, start, size)
    return bytes(e)
d = entry("Root Entry", 5, 0xFFFFFFFE, 0, 1) + entry("Workbook", 2, first, len(stream))
d += bytes(512 - len(d))
open(path, "wb").write(bytes(hdr) + struct.pack("<%dI" % len(fat), *fat) + d + stream)
PY
}

# A document whose stem is the name of the legacy workbook's stream image,
# beside a legacy workbook.
make_xls "$work/docs/legacy.xls" hello 0
cp "$samples/budget_v2.xlsx" "$work/docs/Vergle2003.tmp.xlsx"
out=$("$vergle" --text "$work/docs/legacy.xls" 2>&1)
check "legacy fixture reads ($out)" grep -q hello <<< "$out"
for order in "legacy.xls Vergle2003.tmp.xlsx" "Vergle2003.tmp.xlsx legacy.xls"; do
    set -- $order
    "$vergle" --program "$recorder" "$work/docs/$1" "$work/docs/$2" < /dev/null 2> "$work/err"
    check "a document named Vergle2003.tmp: exit 0 ($order: $(cat "$work/err"))" test $? -eq 0
    check "a document named Vergle2003.tmp: its text ($order)" grep -q "135,000" "$VERGLE_RECORD"
    check "a document named Vergle2003.tmp: the legacy text ($order)" grep -q "hello" "$VERGLE_RECORD"
done
check "nothing left after reading programs" test "$(runs)" -eq 0

# A relative TEMP is handed on as an absolute folder; one that begins with
# "-" does not turn into an option.
program args 'printf "%s\n" "$@" > "'"$work"'/args.txt"; ls "$1" "$2" > /dev/null'
mkdir -p "$work/cwd/-t"
(cd "$work/cwd" && TEMP=-t "$vergle" --program "$work/args" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null)
check "relative TEMP: exit 0" test $? -eq 0
check "relative TEMP: absolute folders given" grep -qE "^$work/cwd/-t/Vergle-[A-Za-z0-9]{6}/budget_v1$" "$work/args.txt"
check "relative TEMP: nothing left" test -z "$(ls -A "$work/cwd/-t")"

# A document path of any length (beyond 256 bytes here), as the system allows.
deep=$work/docs
while [ ${#deep} -lt 300 ]; do deep=$deep/a-folder-with-a-long-name; done
mkdir -p "$deep"
cp "$samples/budget_v1.xlsx" "$deep/budget_v1.xlsx"
out=$("$vergle" --text "$deep/budget_v1.xlsx" 2>&1)
check "a path of ${#deep} bytes: read ($out)" grep -q "120,000" <<< "$out"
"$vergle" --program "$recorder" "$deep/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "a path of ${#deep} bytes: compared" test $? -eq 0

# A compare program that returns at once without looking at the folders
# (one that hands them to an instance of itself already running): the
# folders stay for it, marked; a program that read them has them removed.
program handoff 'exit 0'
"$vergle" --program "$work/handoff" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "hand-off: exit 0" test $? -eq 0
kept=$(ls -d "$work/temp"/Vergle-* 2>/dev/null | head -1)
check "hand-off: the folders stay" test -d "$kept/budget_v1" -a -d "$kept/budget_v2"
check "hand-off: marked" test -f "$kept/Vergle.kept"
check "hand-off: the text is whole" grep -q "135,000" "$kept/budget_v2/予算_2024"
# A later run removes marked folders a day old, and nothing else: not a
# younger one, not one without the mark, not one others may enter.
mkdir -p "$work/temp/Vergle-old001" "$work/temp/Vergle-nomark" "$work/temp/Vergle-shared" "$work/temp/other"
chmod 700 "$work/temp/Vergle-old001" "$work/temp/Vergle-nomark"
chmod 755 "$work/temp/Vergle-shared"
for d in Vergle-old001 Vergle-shared other; do touch -d '2 days ago' "$work/temp/$d/Vergle.kept"; done
touch -d '3 days ago' "$work/temp/Vergle-nomark/file"
"$vergle" --program "$recorder" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
check "stale runs: exit 0" test $? -eq 0
check "stale runs: the day-old kept folder removed" test ! -e "$work/temp/Vergle-old001"
check "stale runs: the fresh kept folder stays" test -d "$kept"
check "stale runs: a folder without the mark stays" test -e "$work/temp/Vergle-nomark/file"
check "stale runs: a folder others may enter stays" test -e "$work/temp/Vergle-shared/Vergle.kept"
check "stale runs: other names stay" test -e "$work/temp/other/Vergle.kept"
rm -rf "$work/temp"/*

# A compare program killed by a signal is trouble; the signals the run
# ignores for itself are back at their defaults in the program.
program killed 'kill -KILL $$'
err=$("$vergle" --program "$work/killed" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" 2>&1 < /dev/null)
check "killed program: exit 2 ($err)" test $? -eq 2
check "killed program: message" grep -q "ended by signal 9" <<< "$err"
program signals 'grep SigIgn /proc/self/status > "'"$work"'/ignored"; ls "$1" > /dev/null'
"$vergle" --program "$work/signals" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null
ignored=$(awk '{print $2}' "$work/ignored")
# SIGPIPE is 13, SIGXFSZ 25: bits 12 and 24 of the mask.
check "program signals: SIGPIPE and SIGXFSZ not ignored ($ignored)" test $(( 0x$ignored & 0x1001000 )) -eq 0
check "nothing left after signalled programs" test "$(runs)" -eq 0

# An interrupt while a compare program runs reaches the program: the run
# ends within moments, not when the program would have, and removes its
# folder.
program slow 'touch "'"$work"'/started"; ls "$1" > /dev/null; exec sleep 30'
rm -f "$work/started"
start=$(date +%s)
"$vergle" --program "$work/slow" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" < /dev/null &
pid=$!
for _ in $(seq 200); do [ -e "$work/started" ] && break; sleep 0.05; done
kill -TERM "$pid"
wait "$pid"
rc=$?
check "interrupted program: exit 143 ($rc)" test $rc -eq 143
check "interrupted program: ended at once ($(( $(date +%s) - start )) s)" test $(( $(date +%s) - start )) -lt 15
check "interrupted program: nothing left" test "$(runs)" -eq 0

# A document rewritten in place while it is read, over and over, between
# two versions of one size (legacy workbooks: nothing in them checks the
# bytes): each run gives the whole text of one version or refuses the
# document with a message, never the start of one and the end of the other.
make_xls "$work/docs/a.xls" hello 2000
make_xls "$work/docs/b.xls" world 2000
"$vergle" --text "$work/docs/a.xls" > "$work/text.a"
"$vergle" --text "$work/docs/b.xls" > "$work/text.b"
check "rewritten while read: two versions" test "$(grep -c hello "$work/text.a")$(grep -c world "$work/text.b")" = 22
cp "$work/docs/a.xls" "$work/docs/victim.xls"
# A writer that keeps the file open and writes the versions over each other
# in pieces without end ("hold": read at any moment, the file is part one
# version, part the other), or that keeps it open for a few saves in a row
# and then closes it for a moment ("saves").
rewrite_runs() {  # rewrite_runs MODE RUNS
    rm -f "$work/stop" "$work/started"
    python3 - "$1" "$work/docs/victim.xls" "$work/docs/a.xls" "$work/docs/b.xls" "$work/stop" "$work/started" <<'PY' &
import os, sys, time
mode, victim, versions, stop, started = sys.argv[1], sys.argv[2], [open(p, "rb").read() for p in sys.argv[3:5]], sys.argv[5], sys.argv[6]
i = 0
while not os.path.exists(stop):
    fd = os.open(victim, os.O_WRONLY)
    open(started, "w").close()
    for _ in range(1000000 if mode == "hold" else 4):
        data = versions[i % 2]
        for at in range(0, len(data), 65536):
            os.pwrite(fd, data[at:at + 65536], at)
        i += 1
        if os.path.exists(stop):
            break
    os.close(fd)
    time.sleep(0.03)
PY
    local writer=$!
    for _ in $(seq 200); do [ -e "$work/started" ] && break; sleep 0.05; done
    for _ in $(seq "$2"); do
        "$vergle" --text "$work/docs/victim.xls" > "$work/text.v" 2> "$work/err.v"
        rc=$?
        if [ $rc -eq 0 ] && { cmp -s "$work/text.v" "$work/text.a" || cmp -s "$work/text.v" "$work/text.b"; }; then
            whole=$((whole + 1))
        elif [ $rc -eq 2 ] && [ -s "$work/err.v" ]; then
            refused=$((refused + 1))
        else
            wrong=$((wrong + 1))
            echo "rewritten while read ($1): exit $rc, $(head -c 200 "$work/text.v" "$work/err.v" | tr '\n' ' ')"
        fi
    done
    touch "$work/stop"
    wait "$writer"
}
# An editor keeps the document it shows open for writing without writing
# it: the document is compared as it stands.
python3 -c 'import os, sys, time; fd = os.open(sys.argv[1], os.O_RDWR); open(sys.argv[2], "w").close(); time.sleep(30)' \
    "$work/docs/victim.xls" "$work/held" &
holder=$!
for _ in $(seq 200); do [ -e "$work/held" ] && break; sleep 0.05; done
"$vergle" --text "$work/docs/victim.xls" > "$work/text.v" 2> "$work/err.v"
check "held open by an editor: read ($(cat "$work/err.v"))" cmp -s "$work/text.v" "$work/text.a"
kill "$holder"
wait "$holder" 2> /dev/null
whole=0 refused=0 wrong=0
rewrite_runs hold 4
check "rewritten while held open: refused ($refused of 4)" test $refused -eq 4
rewrite_runs saves 10
echo "rewritten while read: $whole whole, $refused refused, $wrong wrong"
check "rewritten while read: $whole whole, $refused refused, $wrong wrong" test $wrong -eq 0
check "nothing left after rewritten documents" test -z "$(ls -A "$work/temp")"

check "nothing ever written beside the program" test "$(bin_listing)" = "$bin_before"
echo "cli runs: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
