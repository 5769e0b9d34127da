#!/bin/sh
# Whole-process time and peak memory of loading a large legacy workbook
# through the library (every cell fetched with TABX_get_cell), beside two
# general-purpose readers of the same file: xlrd reading every cell, and
# xls2csv (Debian: catdoc).
#
#   bench/bench_xls.sh BUILD_DIR [WORKBOOK]
#
# BUILD_DIR holds tests/xlsx/xlsx_dump_book (it reads both formats).  Without
# WORKBOOK one is made with bench/gen_large_xls.sh in a temporary folder.
# A reader that is not installed is left out.
set -eu
build=${1:?usage: bench_xls.sh BUILD_DIR [WORKBOOK]}
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/tests/xlsx/xlsx_dump_book"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
book=${2:-}
if [ -z "$book" ]; then
    book="$work/large.xls"
    "$here/gen_large_xls.sh" "$book" > /dev/null
fi
echo "workbook: $(wc -c < "$book") bytes"

measure() {
    label=$1
    shift
    /usr/bin/time -v "$@" > "$work/out" 2> "$work/time" || true
    wall=$(grep 'Elapsed (wall clock)' "$work/time" | awk '{print $NF}')
    user=$(grep 'User time' "$work/time" | awk '{print $NF}')
    peak=$(grep 'Maximum resident set size' "$work/time" | awk '{print $NF}')
    printf '%-10s wall %s  user %ss  peak %s KiB  (%s)\n' "$label" "$wall" "$user" "$peak" \
        "$(tail -1 "$work/out" | cut -c1-40)"
}

# A python3 on the search path that has xlrd.
py=${PYTHON:-}
if [ -z "$py" ]; then
    for cand in $(which -a python3); do
        if "$cand" -c 'import xlrd' 2>/dev/null; then py=$cand; break; fi
    done
fi

measure "library" "$tool" -q "$book"
if command -v xls2csv > /dev/null; then
    measure "xls2csv" xls2csv -q 0 -d utf-8 "$book"
fi
if [ -n "$py" ]; then
    measure "xlrd" "$py" -c '
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
cells = 0
for sheet in book.sheets():
    for r in range(sheet.nrows):
        for value in sheet.row_values(r):
            cells += 1
print("%d cells" % cells)
' "$book"
fi
