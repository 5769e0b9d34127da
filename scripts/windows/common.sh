# Shared by the scripts in this folder (sourced, not run).
#
# vergle_wine_env BUILD_DIR exports the environment every Wine process of a
# Windows build folder runs in:
#   BUILD_DIR/wine/prefix   the private WINEPREFIX
#   BUILD_DIR/wine/locale   the privately built ja_JP.UTF-8 locale (LOCPATH):
#                           with LANG=ja_JP.UTF-8 Wine's ANSI code page is 932
#   BUILD_DIR/wine/session  the running Xvfb's display and the PIDs to stop

vergle_say() {
    printf '[windows] %s\n' "$*" >&2
}

vergle_die() {
    printf '[windows] error: %s\n' "$*" >&2
    exit 1
}

# The absolute path of a folder, created when missing.
vergle_abs_dir() {
    mkdir -p "$1" && (cd "$1" && pwd -P)
}

# Builds the ja_JP.UTF-8 locale into folder $1 when it is not there.
vergle_ensure_locale() {
    local dir="$1"
    [ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ] && return 0
    vergle_say "building the ja_JP.UTF-8 locale"
    mkdir -p "$dir"
    # localedef returns 1 for mere warnings; the files decide.
    localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" >/dev/null 2>&1 || true
    [ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ] ||
        vergle_die "localedef could not build ja_JP.UTF-8 (package locales missing?)"
}

vergle_wine_env() {
    local build="$1"
    VERGLE_WINE_DIR="$build/wine"
    export WINEPREFIX="$VERGLE_WINE_DIR/prefix"
    # Written when the prefix is complete; the number is the set-up's version.
    VERGLE_WINE_READY="$WINEPREFIX/.vergle-ready-1"
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts; no desktop menu entries in $HOME.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    vergle_ensure_locale "$VERGLE_WINE_DIR/locale"
    export LOCPATH="$VERGLE_WINE_DIR/locale"
    # LC_ALL (or LC_CTYPE) from the caller would override LANG; LC_ALL alone
    # gives code page 932 but breaks non-ASCII file names.  The shell itself
    # cannot switch to the private locale (it does not see its own LOCPATH)
    # and would warn; the programs it starts can.
    {
        unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE
        export LANG=ja_JP.UTF-8
    } 2>/dev/null
    if [ -r "$VERGLE_WINE_DIR/session/display" ]; then
        DISPLAY="$(cat "$VERGLE_WINE_DIR/session/display")"
        export DISPLAY
    fi
}

# The Windows form (Z:\...) of an absolute POSIX path: Wine's Z: drive is
# the POSIX root.
vergle_dos_path() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}
