# The data source FAQ, read and written through unixODBC's own odbcinst, for
# the set-up scripts. odbcinst takes each value whole, so a path or a name
# with blanks, '|' or '&' in it goes into odbc.ini as it is. Sourced, not run.

# dsn_exists [user|system]: whether a data source FAQ exists in that scope,
# or in either without one (the sections odbcinst -q -s lists, as ./run and
# the program look for it).
dsn_exists() {
    case ${1:-} in
    user) odbcinst -q -s -h -n FAQ >/dev/null 2>&1 ;;
    system) odbcinst -q -s -l -n FAQ >/dev/null 2>&1 ;;
    *) odbcinst -q -s 2>/dev/null | grep -x '\[FAQ\]' >/dev/null ;;
    esac
}

# dsn_file user|system: the file the driver manager reads for that scope.
dsn_file() {
    local label=USER
    [ "$1" = system ] && label=SYSTEM
    odbcinst -j 2>/dev/null | sed -n "s/^$label DATA SOURCES\.*: *//p"
}

# driver_for NAME FILE: the driver by its registered name where it has one,
# else the path of its library; nothing when neither is installed.
driver_for() {
    if odbcinst -q -d -n "$1" >/dev/null 2>&1; then
        echo "$1"
    else
        find /usr/lib -name "$2" -print -quit
    fi
}

# fill_template FILE NAME=VALUE...: the template with each @NAME@ replaced by
# its value, taken literally.
fill_template() {
    local text pair value
    text=$(<"$1")
    shift
    for pair in "$@"; do
        value=${pair#*=}
        if [[ $value == *$'\n'* ]]; then
            echo "vetfaq: a data source setting cannot span lines: ${pair%%=*}" >&2
            return 1
        fi
        text=${text//"@${pair%%=*}@"/"$value"}
    done
    printf '%s\n' "$text"
}

# install_dsn user|system TEXT: writes the section TEXT (an [FAQ] section) into
# that scope's file, in place of a data source FAQ it has already.
install_dsn() {
    local flag=-h
    if [ "$1" = system ]; then
        flag=-l
        # odbcinst cannot add a section to a system file that does not exist yet.
        local file
        file=$(dsn_file system)
        [ -e "$file" ] || (umask 022 && : >"$file")
    fi
    if dsn_exists "$1"; then
        odbcinst -u -s "$flag" -n FAQ >/dev/null
    fi
    odbcinst -i -s "$flag" -f /dev/stdin <<<"$2" >/dev/null
}
