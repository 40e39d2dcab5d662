#!/usr/bin/env bash
# Sets up the FAQ on a PostgreSQL server: the login role mirt, the database
# with table faq and its DateStyle, and the ODBC data source FAQ pointing at
# it. Safe to run again; an existing data source FAQ is left alone unless
# --replace-dsn is given.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)

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
while [ $# -gt 0 ]; do
    case $1 in
    --host) host=$2; shift ;;
    --port) port=$2; shift ;;
    --admin-user) admin=$2; shift ;;
    --admin-db) admin_db=$2; shift ;;
    --database) database=$2; shift ;;
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

# The program logs in as mirt with password qelp; both are fixed in it.
admin_sql -d "$admin_db" -v database="$database" >/dev/null <<'EOF'
SELECT 'CREATE ROLE mirt' WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'mirt') \gexec
ALTER ROLE mirt LOGIN PASSWORD 'qelp';
SELECT format('CREATE DATABASE %I ENCODING %L TEMPLATE template0', :'database', 'UTF8')
 WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = :'database') \gexec
EOF
admin_sql -d "$database" -f "$HERE/postgresql.sql" >/dev/null
echo "vetfaq: database $database on $host:$port is ready for role mirt" >&2

$write_dsn || exit 0

# Where the driver manager itself looks for data sources.
if [ "$scope" = system ]; then
    ini=$(odbcinst -j 2>/dev/null | sed -n 's/^SYSTEM DATA SOURCES\.*: *//p')
    [ -n "$ini" ] || ini=/etc/odbc.ini
else
    ini=$(odbcinst -j 2>/dev/null | sed -n 's/^USER DATA SOURCES\.*: *//p')
    [ -n "$ini" ] || ini="${ODBCINI:-$HOME/.odbc.ini}"
fi

if odbcinst -q -s 2>/dev/null | grep -qx '\[FAQ\]'; then
    if ! $replace_dsn; then
        echo "vetfaq: the data source FAQ exists already; left as it is (--replace-dsn replaces it)." >&2
        exit 0
    fi
    if [ -f "$ini" ]; then
        # Drop the old section, keep everything else as it was.
        kept=$(awk '/^[ \t]*\[/ { skip = ($0 ~ /^[ \t]*\[FAQ\][ \t]*$/) } !skip' "$ini")
        printf '%s\n' "$kept" >"$ini"
    fi
fi

# The driver by its registered name where it has one, else by its file.
driver="PostgreSQL Unicode"
if ! odbcinst -q -d 2>/dev/null | grep -qx '\[PostgreSQL Unicode\]'; then
    driver=$(find /usr/lib -name psqlodbcw.so -print -quit)
    [ -n "$driver" ] || { echo "vetfaq: psqlODBC is not installed (Debian package odbc-postgresql)" >&2; exit 1; }
fi

{
    [ -s "$ini" ] && echo
    sed -e "s|@DRIVER@|$driver|" -e "s|@HOST@|$host|" -e "s|@PORT@|$port|" -e "s|@DATABASE@|$database|" \
        "$HERE/odbc-postgresql.ini.in"
} >>"$ini"
echo "vetfaq: wrote the data source FAQ for $database on $host:$port into $ini" >&2
user_ini=$(odbcinst -j 2>/dev/null | sed -n 's/^USER DATA SOURCES\.*: *//p')
if [ "$scope" = system ] && [ "$user_ini" != "$ini" ] && grep -qs '^[[:space:]]*\[FAQ\]' "$user_ini"; then
    echo "vetfaq: note: $user_ini has a data source FAQ too, and for that user it wins over the system one." >&2
fi
