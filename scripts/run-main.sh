#!/bin/bash
# The main job: compares the two bundled sample Word documents with the
# folder-compare program for the terminal (scripts/textdiff), which shows the
# differences of the two text folders in UTF-8.
#
#   scripts/run-main.sh [FILE1 FILE2]
#
# Builds the command line first (build/), installing what it needs with
# apt-get when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh native
if [ ! -x build/app/vergle ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target vergle > /dev/null
a=${1:-samples/report_v1.docx}
b=${2:-samples/report_v2.docx}
echo "vergle --program scripts/textdiff $a $b"
# textdiff exits 1 when the documents differ; vergle's own status tells
# whether both documents could be written and compared.
build/app/vergle --program "$root/scripts/textdiff" "$a" "$b"
