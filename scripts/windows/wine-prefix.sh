#!/bin/bash
# wine-prefix.sh BUILD_DIR
#
# Prepares the Wine environment of a Windows build folder, once:
#   - the ja_JP.UTF-8 locale, built privately under BUILD_DIR/wine/locale
#     (with LANG=ja_JP.UTF-8 Wine's ANSI code page is 932; see common.sh);
#   - the private prefix BUILD_DIR/wine/prefix (wineboot -i) with a virtual
#     desktop "Default" of 1024x768, so that windows live inside one desktop
#     window and closing one does not stall.
# Runs on the current DISPLAY when there is one.  Nothing happens when both
# are ready.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"

[ $# -eq 1 ] || vergle_die "usage: $0 BUILD_DIR"
build="$(vergle_abs_dir "$1")"
display="${DISPLAY:-}"
vergle_wine_env "$build"
if [ -n "$display" ]; then export DISPLAY="$display"; fi

ready_mark="$VERGLE_WINE_READY"

if [ -f "$ready_mark" ]; then
    # The system's temporary folder when TEMP is not set (the tests' scratch
    # folders go there).
    mkdir -p "$WINEPREFIX/drive_c/Temp"
    exit 0
fi

vergle_say "creating the Wine prefix $WINEPREFIX"
start=$(date +%s)
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
# The virtual desktop: HKCU\Software\Wine\Explorer Desktop=Default and its
# size; it takes effect when wineserver restarts.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
# Stop the server (it writes the registry first): the session starts its own.
wineserver -k
grep -q '"Desktop"="Default"' "$WINEPREFIX/user.reg" ||
    vergle_die "the virtual desktop setting did not reach the registry"
mkdir -p "$WINEPREFIX/drive_c/Temp"
touch "$ready_mark"
vergle_say "Wine prefix ready in $(( $(date +%s) - start )) s"
