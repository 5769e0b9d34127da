#!/bin/bash
# cmake --install puts the program (with its library), the manual page and
# the bash completion in place, and each works from there.
#   test_cli_install.sh CMAKE BUILD_DIR
set -u
cmake=$1 build=$2
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No settings of the user's own but the test's.
export XDG_CONFIG_HOME=$work/config
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

"$cmake" --install "$build" --prefix "$work/usr" > /dev/null
check "install" test $? -eq 0
mkdir -p "$work/temp"
TEMP=$work/temp "$work/usr/bin/vergle" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" > /dev/null
check "the installed program finds its library and compares" test $? -eq 1
page=$work/usr/share/man/man1/vergle.1
check "manual page" test -f "$page"
if command -v groff > /dev/null; then
    groff -man -Tutf8 -ww -z "$page" 2> "$work/warnings"
    check "manual page without warnings: $(cat "$work/warnings")" test ! -s "$work/warnings"
fi
# Every option of --help is in the manual page and in the completion.
completion=$work/usr/share/bash-completion/completions/vergle
for opt in $("$work/usr/bin/vergle" --help | grep -o -- '--[a-z-]*' | sort -u); do
    check "manual page names $opt" grep -q -- "$(printf '%s' "$opt" | sed 's/-/\\\\-/g')" "$page"
    check "completion offers $opt" grep -q -- "$opt" "$completion"
done
# The completion itself: options, --color values, documents and folders.
mkdir -p "$work/docs/sub"
touch "$work/docs/a.xlsx" "$work/docs/b.DOCX" "$work/docs/c.txt"
complete_words() {  # complete_words WORDS...: the completions of the last word
    (
        cd "$work/docs"
        source "$completion"
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        _vergle
        printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    )
}
check "options" test "$(complete_words vergle --no-t)" = "--no-textbox "
check "--color values" test "$(complete_words vergle --color=a)" = "always auto "
# As bash splits the words where "=" breaks them (COMP_WORDBREAKS): the
# cursor right after "=", and a value begun.
check "--color= split at =" test "$(complete_words vergle --color =)" = "always auto never "
check "--color=a split at =" test "$(complete_words vergle --color = a)" = "always auto "
check "no file names after -U" test "$(complete_words vergle -U "")" = " "
check "documents and folders" test "$(complete_words vergle "")" = "a.xlsx b.DOCX sub "

# And in a real bash, on a terminal (tmux): "--color=" and Tab.
if command -v tmux > /dev/null; then
    sock=$work/tmux.sock
    tmux -S "$sock" -f /dev/null new-session -d -x 120 -y 10 -s c "cd '$work/docs' && bash --norc --noprofile"
    tmux -S "$sock" send-keys -t c "source '$completion'; PS1='$ '; clear" Enter
    sleep 0.5
    tmux -S "$sock" send-keys -t c "vergle --color=al" Tab
    screen=
    for _ in $(seq 1 50); do
        screen=$(tmux -S "$sock" capture-pane -p -t c | grep -o 'vergle --color=[a-z]*' | tail -1)
        [ "$screen" = "vergle --color=always" ] && break
        sleep 0.1
    done
    tmux -S "$sock" kill-server 2> /dev/null
    check "bash completes --color=al to always: $screen" test "$screen" = "vergle --color=always"
else
    echo "tmux not found: completion in a real bash skipped"
fi

echo "cli install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
