#!/bin/bash
# Takes the pictures of the main window for the README: the real window of
# the Windows build under Wine and Xvfb, with two files dropped on it, at
# 96 DPI (100%, docs/window.png) and at 144 DPI (150%,
# docs/window-144dpi.png), the scaling set through Wine's LogPixels.
#
#   scripts/screenshot.sh [BUILD_DIR]     (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build-win}" && pwd)
scripts/windows/install-packages.sh
cmake --build "$build" -j2 --target show_window

. scripts/windows/common.sh
started=0
if [ ! -s "$build/wine/session/display" ] || ! kill -0 "$(cat "$build/wine/session/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    scripts/windows/wine-session.sh start "$build"
    started=1
fi
vergle_wine_env "$build"
display=$(cat "$build/wine/session/display")
export DISPLAY=$display

# The scaling every Wine program of the prefix starts with (both places Wine
# reads it from); taken back to 96 however the script ends.
set_dpi() {
    local key
    for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    done
}
cleanup() {
    set_dpi 96 || true
    if [ $started -eq 1 ]; then scripts/windows/wine-session.sh stop "$build" || true; fi
}
trap cleanup EXIT

a="$root/samples/report_v1.docx"
b="$root/samples/report_v2.docx"
mkdir -p docs
desktop=$(xdotool search --name '^Default - Wine desktop$' | head -1)
for dpi in 96 144; do
    set_dpi "$dpi"
    out=docs/window.png
    [ "$dpi" = 96 ] || out="docs/window-${dpi}dpi.png"
    ready=$(mktemp -u /tmp/vergle-window-XXXXXX)
    wine "$build/bin/show_window.exe" "$(vergle_dos_path "$ready")" 6 "$(vergle_dos_path "$a")" "$(vergle_dos_path "$b")" &
    pid=$!
    for _ in $(seq 1 100); do [ -s "$ready" ] && break; sleep 0.1; done
    [ -s "$ready" ] || { echo "screenshot.sh: the window did not come up" >&2; exit 1; }
    read -r geometry laid_out < <(tr -d '\r' < "$ready")
    [ "$laid_out" = "$dpi" ] || { echo "screenshot.sh: the window was laid out for $laid_out DPI, not $dpi" >&2; exit 1; }
    import -window "$desktop" -crop "$geometry" +repage "$out"
    wait $pid || true
    rm -f "$ready"
    echo "$out ($geometry at $dpi DPI)"
done
