# bash completion for vekdc-cli                              -*- shell-script -*-
#
# Commands, options and the kind of each option's argument are read from the
# program's own help, so the completion always matches the program at hand.

# The commands, one a line.
_vekdc_cli_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p'
}

# The options of a command, one a line as SHORT:LONG:ARGUMENT (SHORT and
# ARGUMENT empty where the option has none).
_vekdc_cli_options() {
    "$1" help "$2" 2>/dev/null |
        sed -n 's/^ *\(-\([a-zA-Z]\), \)\{0,1\}--\([a-z][a-z-]*\)\(=\([A-Z.]*\)\)\{0,1\} .*/\2:\3:\5/p'
}

# Files ending in one of the given extensions, and folders; all files when
# no extension is given. With "any" first, all files also when no file has
# one of the extensions.
_vekdc_cli_files() {
    local fallback=
    if [[ ${1-} == any ]]; then
        fallback=1
        shift
    fi
    local IFS=$'\n' extension found=()
    compopt -o filenames 2>/dev/null
    for extension in "$@"; do
        found+=($(compgen -f -X "!*.$extension" -- "$cur"))
    done
    if (($# == 0)) || [[ ${#found[@]} -eq 0 && -n $fallback ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    COMPREPLY=("${found[@]}" $(compgen -d -- "$cur"))
}

_vekdc_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$(_vekdc_cli_commands "$program") --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    if [[ $command == help ]]; then
        ((COMP_CWORD == 2)) &&
            COMPREPLY=($(compgen -W "$(_vekdc_cli_commands "$program")" -- "$cur"))
        return
    fi

    local options short long argument wanted= longs=()
    options=$(_vekdc_cli_options "$program" "$command")
    # "--name=VALUE" reaches us as "--name" "=" "VALUE".
    local option_word=$prev
    if [[ $prev == = ]] && ((COMP_CWORD > 2)); then
        option_word=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    while IFS=: read -r short long argument; do
        [[ -n $long ]] || continue
        longs+=("--$long")
        if [[ -n $argument && ($option_word == "--$long" || (-n $short && $option_word == "-$short")) ]]; then
            wanted=$argument
        fi
    done <<<"$options"

    if [[ -n $wanted ]]; then
        case $wanted in
            KEY | *.KEY) _vekdc_cli_files any key ;;
            DIR) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")) ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${longs[*]}" -- "$cur"))
        return
    fi
    case $command in
        decode | check) _vekdc_cli_files vek ;;
        encode | keyset) _vekdc_cli_files ;;
    esac
}

complete -F _vekdc_cli vekdc-cli
