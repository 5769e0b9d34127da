#!/bin/bash
# The Windows build writes the same bytes as the Linux build for every Word
# and PowerPoint document of the corpus, with each combination of the two
# switches (file names compared in UTF-8).
#   same_bytes_as_linux.sh WINE_RUN BUILD_DIR CORPUS WINDOWS_TOOL NATIVE_TOOL
# WINE_RUN: scripts/windows/wine-run.sh.  Exit 77 (skipped) when the native
# build's tool or the corpus is missing.
set -uo pipefail
wine_run=$1 build=$2 corpus=${VERGLE_CORPUS:-$3} windows_tool=$4 native_tool=$5
here="$(cd "$(dirname "$wine_run")" && pwd)"
. "$here/common.sh"
[ -x "$native_tool" ] || { echo "SKIPPED: no native build at $native_tool"; exit 77; }
[ -d "$corpus" ] || { echo "SKIPPED: no corpus"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0 count=0
while IFS= read -r -d '' doc; do
    for opts in "" "textbox" "allpage" "textbox allpage"; do
        "$native_tool" "$doc" "$work/linux" $opts raw > "$work/linux.txt" 2> "$work/linux.err"
        rc_linux=$?
        bash "$wine_run" "$build" "$corpus" "$windows_tool" "$(vergle_dos_path "$doc")" \
            "$(vergle_dos_path "$work")\\windows" $opts raw > "$work/windows.txt" 2> "$work/windows.err"
        rc_windows=$?
        count=$((count + 1))
        if [ $rc_linux -ne $rc_windows ] || ! cmp -s "$work/linux.txt" "$work/windows.txt"; then
            echo "DIFFER: $doc ($opts): rc $rc_linux / $rc_windows"
            # What each said, to tell a difference from a failed start.
            sed 's/^/  linux: /' "$work/linux.err" | head -5
            sed 's/^/  windows: /' "$work/windows.err" | head -5
            differ=$((differ + 1))
        fi
    done
done < <(find "$corpus" -type f \( -iname '*.docx' -o -iname '*.docm' -o -iname '*.pptx' -o -iname '*.pptm' \) -print0 | sort -z)
echo "$count dumps compared, $differ differ"
[ $differ -eq 0 ] && [ $count -gt 0 ]
