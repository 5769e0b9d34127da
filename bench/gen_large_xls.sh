#!/bin/sh
# Writes a large legacy workbook for the .xls reader's benchmark: the Open XML
# workbook of gen_large_xlsx.py (5 sheets x 40,000 rows x 5 columns),
# converted to the 97-2003 format by LibreOffice running headless.
#
#   bench/gen_large_xls.sh OUTPUT.xls [ROWS]
#
# Needs a python3 with xlsxwriter (Debian: python3-xlsxwriter) and
# libreoffice (Debian: libreoffice-calc).
set -eu
out=${1:?usage: gen_large_xls.sh OUTPUT.xls [ROWS]}
rows=${2:-40000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
py=${PYTHON:-}
if [ -z "$py" ]; then
    for cand in $(which -a python3); do
        if "$cand" -c 'import xlsxwriter' 2>/dev/null; then py=$cand; break; fi
    done
fi
"${py:?no python3 with xlsxwriter (Debian: python3-xlsxwriter)}" "$here/gen_large_xlsx.py" "$work/large.xlsx" "$rows"
# A profile of its own, so that a running LibreOffice does not take the job.
HOME="$work" libreoffice --headless "-env:UserInstallation=file://$work/profile" \
    --convert-to xls --outdir "$work" "$work/large.xlsx" > "$work/log" 2>&1 || {
    cat "$work/log" >&2
    exit 1
}
mv "$work/large.xls" "$out"
echo "$out: $(wc -c < "$out") bytes"
