#!/bin/bash
# wine-run.sh BUILD_DIR CORPUS_DIR PROGRAM.exe [ARGS...]
#
# The CMAKE_CROSSCOMPILING_EMULATOR of the Windows build (set by
# cmake/windows-deps.cmake): runs one cross-built program under the build
# folder's Wine environment and returns its exit status.  VERGLE_CORPUS (the
# environment's, else CORPUS_DIR) is handed over as a Windows path (Z:\...).
# Start the session first (wine-session.sh start) for the virtual desktop and
# fast starts; without it the program still runs, on the caller's DISPLAY.
set -Eeuo pipefail
# A step that fails says so: ctest shows only what the program printed.
trap 'echo "wine-run.sh: line $LINENO failed with status $?" >&2' ERR
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"

[ $# -ge 3 ] || vergle_die "usage: $0 BUILD_DIR CORPUS_DIR PROGRAM.exe [ARGS...]"
build="$1"
corpus="${VERGLE_CORPUS:-$2}"
shift 2

vergle_wine_env "$build"
if [ ! -f "$VERGLE_WINE_READY" ]; then
    bash "$here/wine-prefix.sh" "$build"
fi

case "$corpus" in
    /*) corpus="$(vergle_dos_path "$corpus")" ;;
esac
export VERGLE_CORPUS="$corpus"

exec wine "$@"
