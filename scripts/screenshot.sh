#!/bin/bash
# Takes the picture of the main window for the README: the real window of
# the Windows build under Wine and Xvfb, with two files dropped on it.
#
#   scripts/screenshot.sh [BUILD_DIR]     (default build-win; writes docs/window.png)
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
cleanup() { if [ $started -eq 1 ]; then scripts/windows/wine-session.sh stop "$build" || true; fi; }
trap cleanup EXIT
display=$(cat "$build/wine/session/display")
export DISPLAY=$display

ready=$(mktemp -u /tmp/vergle-window-XXXXXX)
a="$root/samples/report_v1.docx"
b="$root/samples/report_v2.docx"
vergle_wine_env "$build"
wine "$build/bin/show_window.exe" "$(vergle_dos_path "$ready")" 6 "$(vergle_dos_path "$a")" "$(vergle_dos_path "$b")" &
pid=$!
for _ in $(seq 1 100); do [ -s "$ready" ] && break; sleep 0.1; done
[ -s "$ready" ] || { echo "screenshot.sh: the window did not come up" >&2; exit 1; }
geometry=$(tr -d '\r\n' < "$ready")
mkdir -p docs
desktop=$(xdotool search --name '^Default - Wine desktop$' | head -1)
import -window "$desktop" -crop "$geometry" +repage docs/window.png
wait $pid || true
rm -f "$ready"
echo "docs/window.png ($geometry)"
