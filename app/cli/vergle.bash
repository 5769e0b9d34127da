# bash completion for vergle: its options, the values of --color, and the
# documents it reads (workbooks, Word documents, presentations).
_vergle() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
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
            --text --textbox --no-textbox --allpage --no-allpage --save --encoding --keep --html --help --version" -- "$cur"))
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
