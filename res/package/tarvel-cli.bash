# bash completion for tarvel-cli. The options are read from the program's own
# help, so they stay in step with the installed version.

_tarvel_cli_options() {
    "$1" "$2" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u
}

_tarvel_cli() {
    local cur prev words cword
    _init_completion || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            convert | inspect | list | export) command=${words[i]}; break ;;
        esac
    done

    case $prev in
        --delimiter)
            COMPREPLY=($(compgen -W "comma tab space semicolon pipe" -- "$cur")); return ;;
        --date-format)
            COMPREPLY=($(compgen -W "YY_MM_DD CCYY_MM_DD MM_DD_YY MM_DD_CCYY DD_MM_YY DD_MM_CCYY YYMMDD
                CCYYMMDD MMDDYY MMDDCCYY DDMMYY DDMMCCYY" -- "$cur")); return ;;
        --out)
            _filedir -d; return ;;
        --output)
            _filedir; return ;;
        --symbol | --name | --skip | --wait | --*-col)
            return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "convert inspect list export --help --version" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_tarvel_cli_options "${words[0]}" "$command")" -- "$cur"))
        return
    fi
    case $command in
        convert | inspect) _filedir ;;
        list | export) _filedir -d ;;
    esac
} &&
    complete -F _tarvel_cli tarvel-cli
