#!/bin/sh
# Whole-process time and peak memory of loading a large workbook through the
# library (every cell fetched with TABX_get_cell), beside `unzip -p` of the
# same file.
#
#   bench/bench_xlsx.sh BUILD_DIR [WORKBOOK]
#
# BUILD_DIR holds tests/xlsx/xlsx_dump_book.  Without WORKBOOK one is made
# with bench/gen_large_xlsx.py in a temporary folder.
set -eu
build=${1:?usage: bench_xlsx.sh BUILD_DIR [WORKBOOK]}
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/tests/xlsx/xlsx_dump_book"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
book=${2:-}
if [ -z "$book" ]; then
    book="$work/large.xlsx"
    # A python3 on the search path that has xlsxwriter.
    py=${PYTHON:-}
    if [ -z "$py" ]; then
        for cand in $(which -a python3); do
            if "$cand" -c 'import xlsxwriter' 2>/dev/null; then py=$cand; break; fi
        done
    fi
    "${py:?no python3 with xlsxwriter (Debian: python3-xlsxwriter)}" "$here/gen_large_xlsx.py" "$book"
fi
members=$(unzip -l "$book" | tail -1 | awk '{print $1}')
echo "workbook: $(wc -c < "$book") bytes, members uncompressed: $members bytes"

measure() {
    label=$1
    shift
    /usr/bin/time -v "$@" > "$work/out" 2> "$work/time" || true
    wall=$(grep 'Elapsed (wall clock)' "$work/time" | awk '{print $NF}')
    peak=$(grep 'Maximum resident set size' "$work/time" | awk '{print $NF}')
    printf '%-10s wall %s  peak %s KiB\n' "$label" "$wall" "$peak"
}
measure "unzip -p" unzip -p "$book"
measure "library" "$tool" -q "$book"
cat "$work/out"
