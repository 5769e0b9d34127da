#!/bin/bash
# The difference view in a real terminal (tmux): colours on by themselves,
# Japanese text in its place, NO_COLOR heeded.  The captured screens, with
# their attributes, are in cli_expected/terminal_*.txt (written anew with
# VERGLE_UPDATE_EXPECTED=1).
#   test_cli_terminal.sh VERGLE
set -u
vergle_src=$1
command -v tmux > /dev/null || { echo "tmux not found: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../../samples" && pwd)
expected=$here/cli_expected
work=$(mktemp -d)
sock=$work/tmux.sock
cleanup() { tmux -S "$sock" kill-server 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/bin" "$work/temp"
cp "$vergle_src" "$work/bin/vergle"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# screen NAME COMMAND: runs the command in a fresh 100x30 terminal, waits for
# it to end, and compares the captured screen (with -e: colours as escape
# sequences) with the expected one.
screen() {
    local name=$1 command=$2
    tmux -S "$sock" -u -f /dev/null new-session -d -x 100 -y 30 -s "$name" \
        "cd '$samples' && TEMP='$work/temp' $command; echo \"[exit \$?]\"; sleep 30"
    local i
    for i in $(seq 1 100); do
        tmux -S "$sock" capture-pane -p -t "$name" | grep -q '^\[exit' && break
        sleep 0.1
    done
    tmux -S "$sock" capture-pane -p -e -t "$name" | sed -e 's/[[:space:]]*$//' -e '/^$/d' > "$work/$name.txt"
    tmux -S "$sock" kill-session -t "$name"
    [ -n "${VERGLE_UPDATE_EXPECTED:-}" ] && cp "$work/$name.txt" "$expected/terminal_$name.txt"
    check "screen $name" cmp -s "$work/$name.txt" "$expected/terminal_$name.txt"
    cmp -s "$work/$name.txt" "$expected/terminal_$name.txt" ||
        diff -u "$expected/terminal_$name.txt" "$work/$name.txt" | cat -v | head -40
}

export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset NO_COLOR
screen workbooks "'$work/bin/vergle' budget_v1.xlsx budget_v2.xlsx"
screen no_color "NO_COLOR=1 '$work/bin/vergle' report_v1.docx report_v2.docx"
# What the screens say without their attributes.
plain() { sed $'s/\033\\[[0-9;]*m//g' "$1"; }
check "changed cell: old value red, new value green" \
    grep -q $'B2: \033\\[31m\\[-120,000-\\]\033\\[32m{+135,000+}' "$work/workbooks.txt"
check "Japanese text in its place" \
    grep -q '^~2 2 *旅費 *B2: \[-120,000-\]{+135,000+} *C2: \[-25%-\]{+27%+}$' <(plain "$work/workbooks.txt")
check "no colours with NO_COLOR" test -z "$(grep $'\033' "$work/no_color.txt")"
check "exit status on the screen" grep -q '^\[exit 1\]$' <(plain "$work/workbooks.txt")
check "temporary folder left as found" test -z "$(ls -A "$work/temp")"

echo "cli terminal: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
