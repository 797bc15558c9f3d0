# Bash completion for zorvel: its commands, the options of each command,
# the keys and values that set takes, and file names where a file or a
# port goes.
# Installed as /usr/share/bash-completion/completions/zorvel.

_zorvel()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="list show export diff apply set reset check-host help"
    local common="-h --help -v --verbose -q --quiet"
    local portoptions="--port --serial --all --timeout"
    local keys="bitrate stopbits flowControl termchar block4882 idnQuery pelta autoSerialPoll autoSerialPollInterval"

    # Before the command only flags may stand, so the first other word is it.
    local command="" word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD - 1}"; do
        case $word in
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    case $prev in
        --port | -o | --output)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return ;;
        --serial | --timeout)
            COMPREPLY=()
            return ;;
    esac

    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands $common --version" -- "$cur")
        return
    fi

    local options
    case $command in
        list) options="--json --all-ports" ;;
        show | diff) options="$portoptions --json" ;;
        export) options="$portoptions -o --output" ;;
        apply | set) options="$portoptions --dry-run --verify --yes --json" ;;
        reset) options="$portoptions --dry-run --yes --json" ;;
        check-host) options="--port --serial --timeout --json" ;;
        help)
            mapfile -t COMPREPLY < <(compgen -W "$commands $common" -- "$cur")
            return ;;
        *) return ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options $common" -- "$cur")
        return
    fi
    case $command in
        diff | apply | check-host)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        set)
            # Bash splits "key=value" at the "=": complete the value after it.
            local key=$prev value=$cur
            if [[ $cur == = ]]; then
                value=""
            elif [[ $prev == = ]]; then
                key=${COMP_WORDS[COMP_CWORD - 2]}
            else
                key=""
            fi
            if [[ -n $key && ($cur == = || $prev == =) ]]; then
                local values=""
                case ${key#*.} in
                    bitrate) values="115200 57600 38400 19200 9600 4800 2400 1200" ;;
                    stopbits) values="1 2" ;;
                    flowControl) values="NONE SOFTWARE HARDWARE" ;;
                    block4882 | pelta | autoSerialPoll) values="true false" ;;
                esac
                mapfile -t COMPREPLY < <(compgen -W "$values" -- "$value")
            else
                mapfile -t COMPREPLY < <(compgen -W "$keys" -S = -- "$cur")
                compopt -o nospace 2>/dev/null
            fi ;;
    esac
}
complete -F _zorvel zorvel
