# bash completion for korvid-cli: commands, their options, --source values and file names.

_korvid_cli() {
    local cur prev words cword
    _init_completion || return

    local common="--source --db --host -d --dir"
    local command="" sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ $command == dataset && -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        --source)
            COMPREPLY=($(compgen -W "local site" -- "$cur"))
            return
            ;;
        --db | -x | --xml | -c | --csv | --nfo)
            _filedir
            return
            ;;
        -d | --dir)
            _filedir -d
            return
            ;;
        --from)
            _filedir -d
            return
            ;;
        --genre)
            # The genre names of tag/movie_tag.h, in their order.
            local genres="Action Adventure Animation Biography Comedy Crime Documentary Drama Family Fantasy Film-Noir Game-Show History Horror Music Musical Mystery News Reality-TV Romance Sci-Fi Short Sport Talk-Show Thriller War Western"
            COMPREPLY=($(compgen -W "$genres" -- "$cur"))
            return
            ;;
        --host | -p | --pick | --delay | --title | --director | --comment | --imdb | --year | \
            -s | --search | --name-format)
            return
            ;;
    esac

    local options
    case $command in
        "")
            COMPREPLY=($(compgen -W "search tag show-tag scan undo-rename dataset -h --help -V
                --version" \
                -- "$cur"))
            return
            ;;
        search)
            options="-h --help -p --pick -x --xml -c --csv --nfo -j --json --no-cover $common"
            ;;
        tag)
            options="-h --help --title --director --comment --imdb --year --genre -s --search
                     -p --pick $common"
            ;;
        show-tag)
            options="-h --help -j --json"
            ;;
        undo-rename)
            options="-h --help"
            ;;
        scan)
            options="-h --help -r --recursive --replace -n --dry-run -j --json --nfo --replace-nfo
                     --rename --name-format --portable --delay $common"
            ;;
        dataset)
            case $sub in
                "")
                    COMPREPLY=($(compgen -W "update status remove -h --help" -- "$cur"))
                    return
                    ;;
                update) options="-h --help --from --db --force" ;;
                status) options="-h --help -j --json --db" ;;
                remove) options="-h --help -n --dry-run --db" ;;
                *) return ;;
            esac
            ;;
        *)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == tag || $command == show-tag || $command == scan ||
        $command == undo-rename ]]; then
        _filedir
    fi
} && complete -F _korvid_cli korvid-cli

_korvid() {
    local cur prev words cword
    _init_completion || return
    case $prev in
        -platform | -style | -display) return ;;
    esac
    COMPREPLY=($(compgen -W "-h --help --version -platform -style -display -reverse" -- "$cur"))
} && complete -F _korvid korvid
