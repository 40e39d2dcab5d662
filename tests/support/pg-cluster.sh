#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests.
#
#   pg-cluster.sh start FOLDER [--ssl]
#                                initialises a cluster in the empty FOLDER,
#                                starts it on a free port of 127.0.0.1 (and a
#                                socket in FOLDER), provisions role mirt and
#                                database faq, and writes FOLDER/env; with
#                                --ssl it offers TLS (a throwaway certificate)
#   pg-cluster.sh stop FOLDER    stops the cluster and removes FOLDER
#   pg-cluster.sh pause FOLDER   stops the server and keeps its data, as a
#                                server that has gone away
#   pg-cluster.sh resume FOLDER  starts it again on the same port
#   pg-cluster.sh freeze FOLDER  stops every server process in its tracks
#                                (SIGSTOP): connections stay open, nothing answers
#   pg-cluster.sh thaw FOLDER    lets them run on
#   pg-cluster.sh restart FOLDER restarts the server, dropping every connection
#
# FOLDER/env holds shell assignments of VETFAQ_TEST_PG_HOST, _PORT, _ADMIN and
# _PASSWORD (the cluster's superuser, for the test fixture). VETFAQ_PG_BIN
# names another folder of server binaries than PostgreSQL 15's.
#
# The server's default DateStyle is day-first on purpose: only the setting
# the provisioning gives the database makes the program's mm/dd/yyyy dates
# land on the right day, and the tests would notice if it did not.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BIN=${VETFAQ_PG_BIN:-/usr/lib/postgresql/15/bin}

usage() {
    echo "usage: $0 start|stop FOLDER [--ssl]" >&2
    exit 2
}
[ $# -eq 2 ] || { [ $# -eq 3 ] && [ "$1" = start ] && [ "$3" = --ssl ]; } || usage
action=$1
ssl=${3:-}
if [ "$action" = stop ] && [ ! -d "$2" ]; then
    exit 0
fi
folder=$(cd "$2" && pwd)

# PostgreSQL refuses to run as root: then the server runs as the system user
# postgres (the server package creates it) or, failing that, nobody.
if [ "$(id -u)" -eq 0 ]; then
    if id postgres >/dev/null 2>&1; then
        server_user=postgres
    else
        server_user=nobody
    fi
    # From inside FOLDER: the server refuses a working directory it cannot read.
    as_server() { (cd "$folder" && runuser -u "$server_user" -- "$@"); }
else
    server_user=$(id -un)
    as_server() { "$@"; }
fi

stop() {
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_server "$BIN/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$folder"
}

start() {
    if [ -n "$(ls -A "$folder")" ]; then
        echo "pg-cluster: $folder is not empty" >&2
        exit 1
    fi
    chmod 700 "$folder"
    [ "$server_user" = "$(id -un)" ] || chown "$server_user:" "$folder"

    local admin=vetfaq_admin
    local password
    password=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    # initdb reads the password from a file, so it never shows in a process list.
    (umask 077 && printf '%s\n' "$password" >"$folder/pwfile")
    [ "$server_user" = "$(id -un)" ] || chown "$server_user:" "$folder/pwfile"
    if ! as_server "$BIN/initdb" -D "$folder/data" -U "$admin" --pwfile="$folder/pwfile" \
        --auth=scram-sha-256 --no-locale -E UTF8 --no-sync >"$folder/initdb.log" 2>&1; then
        cat "$folder/initdb.log" >&2
        exit 1
    fi
    rm -f "$folder/pwfile"
    cat >>"$folder/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$folder'
datestyle = 'SQL, DMY'
lc_messages = 'C'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 200
EOF
    if [ -n "$ssl" ]; then
        openssl req -new -x509 -days 2 -nodes -subj /CN=127.0.0.1 -keyout "$folder/data/server.key" \
            -out "$folder/data/server.crt" >/dev/null 2>&1
        chmod 600 "$folder/data/server.key"
        [ "$server_user" = "$(id -un)" ] || chown "$server_user:" "$folder/data/server.key" "$folder/data/server.crt"
        echo "ssl = on" >>"$folder/data/postgresql.conf"
    fi

    # A port that is free now may be taken a moment later: try a few.
    local port tries=0
    while :; do
        port=$((20000 + RANDOM % 40000))
        sed -i "/^port = /d" "$folder/data/postgresql.conf"
        echo "port = $port" >>"$folder/data/postgresql.conf"
        if as_server "$BIN/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 start >/dev/null 2>&1; then
            break
        fi
        tries=$((tries + 1))
        if [ $tries -ge 10 ]; then
            echo "pg-cluster: the server did not start; its log:" >&2
            cat "$folder/server.log" >&2 || true
            exit 1
        fi
    done

    PGPASSWORD=$password "$ROOT/db/provision-postgresql.sh" --host 127.0.0.1 --port "$port" \
        --admin-user "$admin" --no-dsn

    (umask 077 && cat >"$folder/env" <<EOF
VETFAQ_TEST_PG_HOST=127.0.0.1
VETFAQ_TEST_PG_PORT=$port
VETFAQ_TEST_PG_ADMIN=$admin
VETFAQ_TEST_PG_PASSWORD=$password
EOF
    )
}

# The postmaster and its children, the postmaster first so it starts no new one.
server_processes() {
    local pid
    pid=$(head -n 1 "$folder/data/postmaster.pid")
    echo "$pid"
    pgrep -P "$pid" || true
}

case $action in
# A child may end between the listing and the signal; the postmaster may not.
freeze) for pid in $(server_processes); do kill -STOP "$pid" 2>/dev/null || [ "$pid" != "$(server_processes | head -n 1)" ]; done ;;
thaw) for pid in $(server_processes); do kill -CONT "$pid" 2>/dev/null || true; done ;;
restart) as_server "$BIN/pg_ctl" -D "$folder/data" -l "$folder/server.log" -m fast -w -t 30 restart >/dev/null ;;
pause) as_server "$BIN/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null ;;
resume) as_server "$BIN/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 start >/dev/null ;;
start)
    # Leave nothing running behind a failed start.
    trap 'status=$?; [ $status -eq 0 ] || stop; exit $status' EXIT
    start
    ;;
stop) stop ;;
*) usage ;;
esac
