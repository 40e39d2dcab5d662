#!/usr/bin/env bash
# Sets up the FAQ on a PostgreSQL server: the login role mirt, the database
# with table faq and its DateStyle, the rules that say where mirt may log in
# from, and the ODBC data source FAQ pointing at it. Safe to run again; an
# existing data source FAQ is left alone unless --replace-dsn is given.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/odbc-dsn.sh"

usage() {
    cat <<EOF
usage: $0 [options]
  --host HOST          the server (default \$PGHOST or localhost)
  --port PORT          its port (default \$PGPORT or 5432)
  --admin-user NAME    a role that may create roles and databases
                       (default \$PGUSER or postgres); its password comes from
                       PGPASSWORD or ~/.pgpass
  --admin-db NAME      the database the administrator logs in to (default postgres)
  --database NAME      the FAQ database (default faq)
  --allow CIDR         the program's login may reach the database only from
                       these addresses (repeatable); the rules go into the
                       server's pg_hba.conf where this machine can write it,
                       else they are printed for the server's administrator
  --system             write a system data source instead of a user one
  --replace-dsn        replace an existing data source FAQ
  --no-dsn             set up the server only
EOF
}

host=${PGHOST:-localhost}
port=${PGPORT:-5432}
admin=${PGUSER:-postgres}
admin_db=postgres
database=faq
scope=user
replace_dsn=false
write_dsn=true
allow=()
while [ $# -gt 0 ]; do
    case $1 in
    --host) host=$2; shift ;;
    --port) port=$2; shift ;;
    --admin-user) admin=$2; shift ;;
    --admin-db) admin_db=$2; shift ;;
    --database) database=$2; shift ;;
    --allow) allow+=("$2"); shift ;;
    --system) scope=system ;;
    --replace-dsn) replace_dsn=true ;;
    --no-dsn) write_dsn=false ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
    [ $# -gt 0 ] && shift
done

admin_sql() {
    PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 -h "$host" -p "$port" -U "$admin" "$@"
}
# One value from the server; the query reads psql variables given as -v name=value.
admin_value() {
    local query=$1
    shift
    admin_sql -d "$admin_db" -A -t "$@" <<<"$query"
}

# The networks as the server reads them, checked before anything changes.
networks=()
for cidr in "${allow[@]}"; do
    networks+=("$(admin_value "SELECT :'cidr'::cidr" -v cidr="$cidr")")
done
if [ ${#networks[@]} -gt 0 ] && [[ $database == *[\"$'\n']* ]]; then
    echo "vetfaq: --allow needs a database name without double quotes or line breaks" >&2
    exit 2
fi

# The program logs in as mirt with password qelp; both are fixed in it.
admin_sql -d "$admin_db" -v database="$database" >/dev/null <<'EOF'
SELECT 'CREATE ROLE mirt' WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'mirt') \gexec
ALTER ROLE mirt LOGIN PASSWORD 'qelp';
SELECT format('CREATE DATABASE %I ENCODING %L TEMPLATE template0', :'database', 'UTF8')
 WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = :'database') \gexec
EOF
admin_sql -d "$database" -f "$HERE/postgresql.sql" >/dev/null
echo "vetfaq: database $database on $host:$port is ready for role mirt" >&2

tls=$(admin_value "SHOW ssl")

# Since the login is known to everyone who has the program, only the given
# networks may use it, ahead of every other rule of the file (the first rule
# that matches decides), and only over TLS where the server offers it.
if [ ${#networks[@]} -gt 0 ]; then
    kind=host
    [ "$tls" = on ] && kind=hostssl
    method=$(admin_value "SHOW password_encryption")
    begin="# vetfaq \"$database\": the program's login mirt only from these networks"
    end="# vetfaq \"$database\": end"
    rules=$begin
    for network in "${networks[@]}"; do
        rules+=$'\n'"$kind \"$database\" mirt $network $method"
    done
    rules+=$'\n'"host \"$database\" mirt all reject"$'\n'"$end"

    # The file is this machine's to change only when the server runs here.
    hba=$(admin_value "SELECT coalesce((SELECT setting FROM pg_settings WHERE name = 'hba_file'), '')")
    here=$(admin_value "SELECT coalesce(inet_server_addr() <<= '127.0.0.0/8' OR inet_server_addr() = '::1', true)")
    if [ "$here" = t ] && [ -n "$hba" ] && [ -w "$hba" ]; then
        # The old block for this database goes; the new one comes before the first rule.
        text= placed=false skipping=false
        while IFS= read -r line || [ -n "$line" ]; do
            if $skipping; then
                [ "$line" = "$end" ] && skipping=false
                continue
            fi
            [ "$line" = "$begin" ] && { skipping=true; continue; }
            if ! $placed && [[ $line =~ ^[[:space:]]*[^#[:space:]] ]]; then
                text+=$rules$'\n'
                placed=true
            fi
            text+=$line$'\n'
        done <"$hba"
        $placed || text+=$rules$'\n'
        old=$(mktemp)
        cat "$hba" >"$old"
        printf '%s' "$text" >"$hba"
        # The server reads the file as it is now; one it cannot read goes back as it was.
        errors=$(admin_value "SELECT string_agg(format('line %s: %s', line_number, error), '; ')
                                FROM pg_hba_file_rules WHERE error IS NOT NULL")
        if [ -n "$errors" ]; then
            cat "$old" >"$hba"
            rm -f "$old"
            echo "vetfaq: the server cannot read $hba with these rules ($errors); it is left as it was" >&2
            exit 1
        fi
        rm -f "$old"
        admin_value "SELECT pg_reload_conf()" >/dev/null
        echo "vetfaq: $hba lets mirt reach $database only from ${networks[*]}" >&2
    else
        echo "vetfaq: cannot change the server's pg_hba.conf from here; put these lines at its top" \
             "(before its other rules) and reload the server (SELECT pg_reload_conf()):" >&2
        printf '%s\n' "$rules"
    fi
fi

$write_dsn || exit 0

if dsn_exists; then
    if ! $replace_dsn; then
        echo "vetfaq: the data source FAQ exists already; left as it is (--replace-dsn replaces it)." >&2
        exit 0
    fi
fi

driver=$(driver_for "PostgreSQL Unicode" psqlodbcw.so)
[ -n "$driver" ] || { echo "vetfaq: psqlODBC is not installed (Debian package odbc-postgresql)" >&2; exit 1; }

section=$(fill_template "$HERE/odbc-postgresql.ini.in" DRIVER="$driver" HOST="$host" PORT="$port" DATABASE="$database")
if [ "$tls" = on ]; then
    section+=$'\nSSLmode = require'
else
    echo "vetfaq: note: the server does not offer TLS, so the password and the entries cross the network unencrypted." >&2
fi
install_dsn "$scope" "$section"
echo "vetfaq: wrote the data source FAQ for $database on $host:$port into $(dsn_file "$scope")" >&2
if [ "$scope" = system ] && dsn_exists user; then
    echo "vetfaq: note: $(dsn_file user) has a data source FAQ too, and for that user it wins over the system one." >&2
fi
