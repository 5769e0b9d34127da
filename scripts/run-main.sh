#!/bin/bash
# The main job: compares the two bundled sample documents on the command
# line, which shows the differences of their text itself, in UTF-8.
#
#   scripts/run-main.sh [FILE1 FILE2]
#
# Builds the command line first (build/), installing what it needs with
# apt-get when it is missing.  Exit status 0 when the comparison ran (vergle
# itself says 0 for the same text, 1 for differences), 2 on trouble.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
if [ ! -x build/app/vergle ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target vergle > /dev/null
a=${1:-samples/budget_v1.xlsx}
b=${2:-samples/budget_v2.xlsx}
echo "vergle $a $b"
rc=0
build/app/vergle "$a" "$b" || rc=$?
[ "$rc" -le 1 ] || exit "$rc"
