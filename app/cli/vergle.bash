# bash completion for vergle: its options, the values of --color, and what
# it compares: documents (workbooks, Word documents, presentations) and
# folders (two folders are compared document by document).
_vergle() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    # bash splits "--color=VALUE" at "=" (it is in COMP_WORDBREAKS): the
    # words are then "--color", "=" and the value, or "--color" and "=" with
    # the cursor right after it.
    if [ "$cur" = "=" ] && [ "$prev" = --color ]; then
        COMPREPLY=($(compgen -W "auto always never"))
        return
    fi
    if [ "$prev" = "=" ] && [ "$COMP_CWORD" -ge 2 ] && [ "${COMP_WORDS[COMP_CWORD-2]}" = --color ]; then
        COMPREPLY=($(compgen -W "auto always never" -- "$cur"))
        return
    fi
    case $prev in
    --program)
        COMPREPLY=($(compgen -c -- "$cur"))
        return
        ;;
    --encoding)
        COMPREPLY=($(compgen -W "utf-8 cp932" -- "$cur"))
        return
        ;;
    --keep)
        compopt -o filenames 2> /dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    -U | --label)
        COMPREPLY=()
        return
        ;;
    --html)
        compopt -o filenames 2> /dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    esac
    case $cur in
    --color=*)
        COMPREPLY=($(compgen -W "auto always never" -- "${cur#--color=}"))
        return
        ;;
    -*)
        COMPREPLY=($(compgen -W "--program --no-program --color --color=auto --color=always --color=never
            -u -U --unified= -q --brief --label --text --textconv --textbox --no-textbox --allpage --no-allpage
            --formulas --no-formulas --macros --no-macros --save --encoding --keep --html --debug --help --version -" -- "$cur"))
        return
        ;;
    esac
    local f
    COMPREPLY=()
    compopt -o filenames 2> /dev/null
    while IFS= read -r f; do
        case ${f,,} in
        *.xls | *.xlsx | *.xlsm | *.docx | *.docm | *.pptx | *.pptm) COMPREPLY+=("$f") ;;
        *) [ -d "$f" ] && COMPREPLY+=("$f") ;;
        esac
    done < <(compgen -f -- "$cur")
}
complete -F _vergle vergle
