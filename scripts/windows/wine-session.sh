#!/bin/bash
# wine-session.sh start|stop BUILD_DIR
#
# start: one Xvfb for the whole test run, the build folder's Wine prefix
#        (made when missing, see wine-prefix.sh), a persistent wineserver
#        (wineserver -p) and the prefix's background processes, so that each
#        test program starts in tens of milliseconds.  The display and both PIDs are written to
#        BUILD_DIR/wine/session.
# stop:  stops that wineserver (and with it the Wine processes of the prefix)
#        and that Xvfb, by their PIDs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"

[ $# -eq 2 ] || vergle_die "usage: $0 start|stop BUILD_DIR"
action="$1"
build="$(vergle_abs_dir "$2")"
session="$build/wine/session"

# True while process $1 runs (a zombie that nobody reaps does not count).
alive() {
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 1
    local state
    state="$(ps -o stat= -p "$1" 2>/dev/null || true)"
    [ -n "$state" ] && [ "${state:0:1}" != Z ]
}

# Waits up to $2 tenths of a second for process $1 to end.
wait_gone() {
    local i
    for ((i = 0; i < $2; i++)); do
        alive "$1" || return 0
        sleep 0.1
    done
    ! alive "$1"
}

stop_pid() {
    local file="$session/$1.pid" signal="$2" pid
    [ -f "$file" ] || return 0
    pid="$(cat "$file")"
    if alive "$pid"; then
        kill "-$signal" "$pid" 2>/dev/null || true
        wait_gone "$pid" 50 || { kill -KILL "$pid" 2>/dev/null || true; wait_gone "$pid" 20 || true; }
    fi
    rm -f "$file"
}

stop_session() {
    # SIGINT is what "wineserver -k" sends: the server ends the prefix's Wine
    # processes, saves the registry and exits.
    stop_pid wineserver INT
    stop_pid xvfb TERM
    rm -f "$session/display"
}

start_session() {
    # A session left behind by an interrupted run is ours: end it first.
    stop_session
    mkdir -p "$session"

    # Xvfb picks a free display itself and writes its number to fd 3.
    command -v Xvfb >/dev/null || vergle_die "Xvfb is missing (package xvfb)"
    rm -f "$session/displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$session/displayfd" >"$session/xvfb.log" 2>&1 </dev/null &
    echo $! >"$session/xvfb.pid"
    local i number=""
    for ((i = 0; i < 100; i++)); do
        number="$(tr -dc 0-9 <"$session/displayfd" 2>/dev/null || true)"
        [ -n "$number" ] && break
        alive "$(cat "$session/xvfb.pid")" || break
        sleep 0.1
    done
    [ -n "$number" ] || { stop_session; vergle_die "Xvfb did not start (see $session/xvfb.log)"; }
    echo ":$number" >"$session/display"
    export DISPLAY=":$number"

    bash "$here/wine-prefix.sh" "$build"
    vergle_wine_env "$build"

    # A server still running for this prefix (another run of ours) would
    # refuse the persistent one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -f -p >"$session/wineserver.log" 2>&1 </dev/null &
    echo $! >"$session/wineserver.pid"
    # The server is ready when its socket exists, in the folder it changes
    # into (Debian's Wine picks that folder's name at random).
    local pid
    pid="$(cat "$session/wineserver.pid")"
    for ((i = 0; i < 100; i++)); do
        [ -S "/proc/$pid/cwd/socket" ] && break
        alive "$pid" || break
        sleep 0.05
    done
    alive "$pid" || { stop_session; vergle_die "wineserver did not start (see $session/wineserver.log)"; }
    # The first Wine program starts the prefix's background processes
    # (services.exe, ...), the first window the virtual desktop's
    # explorer.exe; they stay for the whole session.  Started here, they hold
    # no test's output pipe, which would keep ctest waiting for them.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    wine explorer.exe /desktop=Default,1024x768 </dev/null >/dev/null 2>&1 &
    for ((i = 0; i < 100; i++)); do
        xdotool search --name '^Default - Wine desktop$' >/dev/null 2>&1 && break
        sleep 0.1
    done
    vergle_say "session running: DISPLAY=$DISPLAY, wineserver $(cat "$session/wineserver.pid")"
}

case "$action" in
    start) start_session ;;
    stop) stop_session ;;
    *) vergle_die "usage: $0 start|stop BUILD_DIR" ;;
esac
