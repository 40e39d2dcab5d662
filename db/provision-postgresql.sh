#!/usr/bin/env bash
# Sets up the FAQ on a PostgreSQL server: the login role mirt, the database
# with table faq and its DateStyle, the rules that say where mirt may log in
# from, and the ODBC data source FAQ pointing at it; with --pooler, Debian's
# pgbouncer on this machine in front of the server. Safe to run again; an
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
  --users N            how many people use the program at once (default 100);
                       says whether the server's connection limit is enough
  --pooler             put pgbouncer (Debian package pgbouncer) on this machine
                       in front of the server, pooling per transaction, and
                       point the data source at it; run this on the server's
                       machine, or give the address the clients reach it at
                       as --host
  --pooler-port PORT   the pooler's port (default 6432)
  --pooler-config FILE the pooler's configuration, written whole (default
                       /etc/pgbouncer/pgbouncer.ini; a file that was not
                       written here is kept as FILE.before-vetfaq)
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
users=100
pooler=false
pooler_port=6432
pooler_config=/etc/pgbouncer/pgbouncer.ini
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
    --users) users=$2; shift ;;
    --pooler) pooler=true ;;
    --pooler-port) pooler_port=$2; shift ;;
    --pooler-config) pooler_config=$2; shift ;;
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

# Every running copy of the program holds one connection, and one more while
# a Search reads the list: up to two each. Without a pooler that many must fit
# under the server's limit, less the slots it keeps for superusers.
max_connections=$(admin_value "SHOW max_connections")
reserved=$(admin_value "SHOW superuser_reserved_connections")
available=$((max_connections - reserved))
pool_size=20
if ! $pooler && [ "$available" -lt $((2 * users)) ]; then
    echo "vetfaq: note: the server lets $available connections in (max_connections = $max_connections, $reserved of" \
         "them for superusers); $users people at once need up to $((2 * users)). Raise max_connections to" \
         "$((2 * users + reserved)) or more (a restart) or put a pooler in front (--pooler)." >&2
fi

dsn_port=$port
if $pooler; then
    command -v pgbouncer >/dev/null || { echo "vetfaq: --pooler needs pgbouncer (Debian package pgbouncer)" >&2; exit 1; }
    if ! [[ $database =~ ^[A-Za-z0-9_-]+$ ]]; then
        echo "vetfaq: --pooler needs a database name of letters, digits, '_' and '-'" >&2
        exit 2
    fi
    if [ "$available" -lt $((pool_size + 5)) ]; then
        echo "vetfaq: the server lets only $available connections in; the pooler needs $pool_size and some to spare" >&2
        exit 1
    fi
    folder=$(cd "$(dirname "$pooler_config")" && pwd)
    pooler_config=$folder/$(basename "$pooler_config")
    if [ "$pooler_config" = /etc/pgbouncer/pgbouncer.ini ]; then
        logfile=/var/log/postgresql/pgbouncer.log pidfile=/var/run/postgresql/pgbouncer.pid
    else
        logfile=$folder/pgbouncer.log pidfile=$folder/pgbouncer.pid
    fi
    # pgbouncer will not run as root: as root it runs as the folder's owner, or postgres.
    run_as=$(id -un)
    if [ "$(id -u)" -eq 0 ]; then
        run_as=$(stat -c %U "$folder")
        [ "$run_as" != root ] || run_as=postgres
    fi
    marker="; Written by vetfaq's provision-postgresql.sh --pooler; run it again rather than editing this file."
    if [ -f "$pooler_config" ] && ! grep -qxF "$marker" "$pooler_config"; then
        cp -p "$pooler_config" "$pooler_config.before-vetfaq"
        echo "vetfaq: kept the pooler's previous configuration as $pooler_config.before-vetfaq" >&2
    fi
    listen='*'
    case $host in localhost | 127.* | ::1) listen=127.0.0.1 ;; esac
    server_tls=
    [ "$tls" = on ] && server_tls="server_tls_sslmode = require"
    # Pooling per transaction: a copy of the program holds a server
    # connection only while a statement or a change of it runs, so the
    # server needs pool_size connections however many people work. psqlODBC
    # and libpq send extra_float_digits and options at log-in.
    cat >"$pooler_config" <<CONFIG
$marker
[databases]
$database = host=$host port=$port dbname=$database pool_size=$pool_size

[pgbouncer]
listen_addr = $listen
listen_port = $pooler_port
unix_socket_dir =
auth_type = scram-sha-256
auth_file = $folder/userlist.txt
pool_mode = transaction
max_client_conn = $((2 * users + 20))
default_pool_size = $pool_size
max_db_connections = $pool_size
ignore_startup_parameters = extra_float_digits, options
$server_tls
logfile = $logfile
pidfile = $pidfile
CONFIG
    # The program's login is known to everyone who has the program, so it may stand here in the clear.
    users_file=$folder/userlist.txt
    { if [ -f "$users_file" ]; then grep -v '^"mirt" ' "$users_file" || true; fi; echo '"mirt" "qelp"'; } >"$users_file.new"
    mv "$users_file.new" "$users_file"
    chmod 640 "$users_file"
    [ "$run_as" = "$(id -un)" ] || chown "$run_as:" "$users_file" "$pooler_config"

    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        kill -HUP "$(cat "$pidfile")"  # a changed port takes a restart
    elif [ "$pooler_config" = /etc/pgbouncer/pgbouncer.ini ] && [ -d /run/systemd/system ]; then
        systemctl enable pgbouncer >/dev/null 2>&1 || true
        systemctl restart pgbouncer
    else
        # A file descriptor for each client and server connection.
        ulimit -n $((2 * users + pool_size + 100)) 2>/dev/null || true
        if [ "$(id -u)" -eq 0 ]; then
            pgbouncer -q -d -u "$run_as" "$pooler_config"
        else
            pgbouncer -q -d "$pooler_config"
        fi
    fi
    reach=$host
    [ "$listen" = '*' ] || reach=127.0.0.1
    pooled() { PGPASSWORD=qelp psql -X -q -h "$reach" -p "$pooler_port" -U mirt -d "$database" -c 'SELECT 1' >/dev/null "$@"; }
    for _ in $(seq 50); do
        pooled 2>/dev/null && break
        sleep 0.2
    done
    pooled || { echo "vetfaq: the pooler does not let mirt in; see $logfile" >&2; exit 1; }
    echo "vetfaq: pgbouncer on port $pooler_port pools $database on $host:$port ($pool_size server connections" \
         "for up to $((2 * users + 20)) clients); configuration $pooler_config" >&2
    dsn_port=$pooler_port
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

section=$(fill_template "$HERE/odbc-postgresql.ini.in" DRIVER="$driver" HOST="$host" PORT="$dsn_port" DATABASE="$database")
if $pooler; then
    # psqlODBC prepares statements on the server under names of its own; a
    # pooler that lends a server connection for one transaction at a time
    # lets those names meet another program's ("prepared statement ...
    # already exists"). Prepared in the driver, a statement goes whole.
    section+=$'\nUseServerSidePrepare = 0'
fi
# The pooler offers no TLS of its own; it speaks TLS to the server where the server offers it.
if [ "$tls" = on ] && ! $pooler; then
    section+=$'\nSSLmode = require'
else
    echo "vetfaq: note: the server does not offer TLS, so the password and the entries cross the network unencrypted." >&2
fi
install_dsn "$scope" "$section"
echo "vetfaq: wrote the data source FAQ for $database on $host:$dsn_port into $(dsn_file "$scope")" >&2
if [ "$scope" = system ] && dsn_exists user; then
    echo "vetfaq: note: $(dsn_file user) has a data source FAQ too, and for that user it wins over the system one." >&2
fi
