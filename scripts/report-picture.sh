#!/bin/bash
# report-picture: the README's picture of the HTML report.
#
#   scripts/report-picture.sh VERGLE OUT.png
#
# Writes the report of the two bundled sample workbooks (vergle --html) and
# photographs it in headless Chromium (Debian's package chromium), in a
# private, empty profile that is removed afterwards.
set -euo pipefail
vergle=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out=$2
here=$(cd "$(dirname "$0")" && pwd)
browser=$(command -v chromium || command -v chromium-browser) || { echo "report-picture: chromium not found" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/temp" "$work/profile"
(cd "$here/../samples" && TEMP=$work/temp "$vergle" --html "$work/report.html" budget_v1.xlsx budget_v2.xlsx > /dev/null) ||
    [ $? -eq 1 ]
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$work/profile" \
    --hide-scrollbars --window-size=1000,660 --screenshot="$work/report.png" "file://$work/report.html" 2> /dev/null
cp "$work/report.png" "$out"
echo "report-picture: $out"
