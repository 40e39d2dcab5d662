#!/usr/bin/env bash
# db/provision-postgresql.sh against the test cluster of ./test: what it sets
# up, that a second run changes nothing, and how it treats a data source FAQ
# that exists already; then, on a cluster of its own that offers TLS, that the
# data source asks for TLS and that --allow keeps mirt to the given networks.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

if [ -z "${VETFAQ_TEST_PG_PORT:-}" ]; then
    if [ "${VETFAQ_TEST_REQUIRE_PG:-}" = 1 ]; then
        echo "FAILED: no test cluster (VETFAQ_TEST_PG_PORT is unset)" >&2
        exit 1
    fi
    echo "skipped: no test cluster (./test starts one)"
    exit 77
fi

work=$(mktemp -d)
# Blanks, '|' and '&' go into the data source as they are.
database="vetfaq provision|$$&$RANDOM"
export PGPASSWORD=$VETFAQ_TEST_PG_PASSWORD
admin_sql() {
    psql -X -q -t -A -v ON_ERROR_STOP=1 -h "$VETFAQ_TEST_PG_HOST" -p "$VETFAQ_TEST_PG_PORT" \
        -U "$VETFAQ_TEST_PG_ADMIN" "$@"
}
cleanup() {
    admin_sql -d postgres -v db="$database" <<<'DROP DATABASE IF EXISTS :"db" WITH (FORCE)' >/dev/null 2>&1 || true
    if [ -n "${pooler:-}" ]; then
        [ ! -f "$pooler/pgbouncer.pid" ] || kill "$(cat "$pooler/pgbouncer.pid")" 2>/dev/null || true
        rm -rf "$pooler"
    fi
    [ -z "${tls:-}" ] || "$ROOT/tests/support/pg-cluster.sh" stop "$tls"
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Data sources of this test's own, user and system apart.
export HOME=$work/home ODBCSYSINI=$work/sys ODBCINI=$work/home/.odbc.ini
mkdir -p "$HOME" "$ODBCSYSINI"
driver=$(find /usr/lib -name psqlodbcw.so -print -quit)
printf '[PostgreSQL Unicode]\nDriver = %s\n' "$driver" >"$ODBCSYSINI/odbcinst.ini"

provision() {
    "$ROOT/db/provision-postgresql.sh" --host "$VETFAQ_TEST_PG_HOST" --port "$VETFAQ_TEST_PG_PORT" \
        --admin-user "$VETFAQ_TEST_PG_ADMIN" --database "$database" "$@"
}
# How many FAQ sections a file has (the driver manager makes empty files on reading).
sections() {
    if [ -f "$1" ]; then grep -c '^\[FAQ\]' "$1" || true; else echo 0; fi
}
# SQL through the data source FAQ with the program's login; isql exits with 0
# even when a statement fails, so its error lines decide.
as_program() {
    local out
    out=$(isql -b -v FAQ mirt qelp 2>&1) || return 1
    ! grep -q 'ERROR' <<<"$out"
}

# The premise: this server reads 12/06/2026 as 12 June unless told otherwise.
[ "$(admin_sql -d postgres -c 'SHOW datestyle')" = "SQL, DMY" ] || fail "the test cluster is not day-first"

# First run: role, database, table and a user data source that work for the program.
out=$(provision 2>&1) || fail "first run: $out"
[ "$(sections "$ODBCINI")" = 1 ] || fail "expected one FAQ section in $ODBCINI"
[ "$(sections "$ODBCSYSINI/odbc.ini")" = 0 ] || fail "a user data source went into the system file"
echo "INSERT INTO faq VALUES (1, 'who', 'q', '12/06/2026', 'p', 'l', 's')" | as_program >/dev/null \
    || fail "mirt cannot insert through the data source FAQ"
[ "$(admin_sql -d "$database" -c 'SELECT datum FROM faq WHERE rbr = 1')" = "2026-12-06 00:00:00" ] \
    || fail "12/06/2026 did not land on 6 December"
! grep -qi '^SSLmode' "$ODBCINI" || fail "asks for TLS of a server that offers none"
if echo "DROP TABLE faq" | as_program; then
    fail "mirt may drop the table"
fi

# Second run: no errors, nothing doubled, nothing lost.
out=$(provision 2>&1) || fail "second run: $out"
echo "$out" | grep -q "left as it is" || fail "the existing data source was not reported: $out"
[ "$(sections "$ODBCINI")" = 1 ] || fail "the second run doubled the data source"
[ "$(admin_sql -d "$database" -c 'SELECT count(*) FROM faq')" = 1 ] || fail "the second run lost the entry"
[ "$(admin_sql -d postgres -c "SELECT count(*) FROM pg_roles WHERE rolname = 'mirt'")" = 1 ] || fail "role mirt"

# An existing data source FAQ is replaced only when asked, and nothing else in the file changes.
printf '\n[Other]\nDriver = Elsewhere\n' >>"$ODBCINI"
sed -i 's/^Port *=.*/Port = 1/' "$ODBCINI"
provision >/dev/null 2>&1 || fail "run on a changed data source"
grep -q '^Port = 1$' "$ODBCINI" || fail "the existing data source was changed without --replace-dsn"
provision --replace-dsn >/dev/null 2>&1 || fail "--replace-dsn"
[ "$(sections "$ODBCINI")" = 1 ] || fail "--replace-dsn left two data sources"
grep -q '^\[Other\]' "$ODBCINI" || fail "--replace-dsn dropped another data source"
echo "SELECT count(*) FROM faq" | as_program >/dev/null || fail "the replaced data source does not connect"

# --system writes where the driver manager reads system data sources.
rm "$ODBCINI"
provision --system >/dev/null 2>&1 || fail "--system"
[ "$(sections "$ODBCSYSINI/odbc.ini")" = 1 ] || fail "--system did not write $ODBCSYSINI/odbc.ini"
[ "$(sections "$ODBCINI")" = 0 ] || fail "--system wrote a user data source"
echo "SELECT count(*) FROM faq" | as_program >/dev/null || fail "the system data source does not connect"

# --pooler: pgbouncer in front, pooling per transaction, and the data source
# pointing at it; a second run changes the pooler's set-up, not doubles it.
rm -f "$ODBCINI" "$ODBCSYSINI/odbc.ini"
pooler=$(mktemp -d)
[ "$(id -u)" -ne 0 ] || chown postgres: "$pooler"
pooler_port=$((20000 + RANDOM % 40000))
provision_pooled() {
    "$ROOT/db/provision-postgresql.sh" --host "$VETFAQ_TEST_PG_HOST" --port "$VETFAQ_TEST_PG_PORT" \
        --admin-user "$VETFAQ_TEST_PG_ADMIN" --pooler --pooler-port "$pooler_port" \
        --pooler-config "$pooler/pgbouncer.ini" --replace-dsn "$@"
}
out=$(provision_pooled --database "$database" 2>&1) && fail "--pooler took a database name with blanks: $out"
pooled_db=vetfaq_pooled_$$
out=$(provision_pooled --database "$pooled_db" --users 30 2>&1) || fail "--pooler: $out"
grep -qx "Port=$pooler_port" "$ODBCINI" || fail "the data source does not point at the pooler: $(cat "$ODBCINI")"
grep -qx 'UseServerSidePrepare=0' "$ODBCINI" || fail "the pooled data source prepares on the server"
grep -qx 'pool_mode = transaction' "$pooler/pgbouncer.ini" || fail "the pooler does not pool per transaction"
grep -qx 'max_client_conn = 80' "$pooler/pgbouncer.ini" || fail "the pooler is not sized for 30 people"
echo "INSERT INTO faq VALUES (1, 'who', 'q', '12/06/2026', 'p', 'l', 's')" | as_program >/dev/null \
    || fail "mirt cannot insert through the pooler"
[ "$(admin_sql -d "$pooled_db" -c 'SELECT datum FROM faq WHERE rbr = 1')" = "2026-12-06 00:00:00" ] \
    || fail "through the pooler 12/06/2026 did not land on 6 December"
provision_pooled --database "$pooled_db" --users 60 >/dev/null 2>&1 || fail "a second --pooler run"
[ "$(grep -c '^"mirt"' "$pooler/userlist.txt")" = 1 ] || fail "the second run doubled the pooler's login"
grep -qx 'max_client_conn = 140' "$pooler/pgbouncer.ini" || fail "the second run did not size the pooler anew"
echo "SELECT count(*) FROM faq" | as_program >/dev/null || fail "the pooler did not take its new set-up"
kill "$(cat "$pooler/pgbouncer.pid")"
admin_sql -d postgres -v db="$pooled_db" <<<'DROP DATABASE IF EXISTS :"db" WITH (FORCE)' >/dev/null

# A server that offers TLS: the data source asks for it, and --allow lets mirt
# in from the given networks only, over TLS.
rm -f "$ODBCINI" "$ODBCSYSINI/odbc.ini"
# Beside the other cluster, not in $work: as root the server runs as another user.
tls=$(mktemp -d)
"$ROOT/tests/support/pg-cluster.sh" start "$tls" --ssl >/dev/null 2>"$work/tls.log" \
    || fail "cannot start a cluster with TLS: $(cat "$work/tls.log")"
tls_env=$(. "$tls/env" && echo "$VETFAQ_TEST_PG_PORT $VETFAQ_TEST_PG_PASSWORD")
read -r tls_port tls_password <<<"$tls_env"
provision_tls() {
    PGPASSWORD=$tls_password "$ROOT/db/provision-postgresql.sh" --host 127.0.0.1 --port "$tls_port" \
        --admin-user "$VETFAQ_TEST_PG_ADMIN" --replace-dsn "$@"
}
program_value() { isql -b -d, FAQ mirt qelp <<<"$1" 2>/dev/null | head -n 1; }
hba=$tls/data/pg_hba.conf

provision_tls --allow 127.0.0.1/32 >/dev/null 2>&1 || fail "--allow 127.0.0.1/32"
grep -qx 'SSLmode=require' "$ODBCINI" || fail "the data source does not ask for TLS"
[ "$(program_value 'SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()')" = 1 ] \
    || fail "the program's connection is not encrypted"
grep -qx 'hostssl "faq" mirt 127.0.0.1/32 scram-sha-256' "$hba" || fail "no TLS rule for 127.0.0.1/32 in $hba"

provision_tls --allow 10.0.0.0/8 --allow 192.168.7.0/24 >/dev/null 2>&1 || fail "--allow 10.0.0.0/8"
[ "$(grep -c '^host.* mirt ' "$hba")" = 3 ] || fail "the rules of the first run were not replaced: $(grep mirt "$hba")"
# The server takes new rules a moment after it is told to reload.
for _ in $(seq 50); do
    [ -z "$(program_value 'SELECT 1')" ] && break
    sleep 0.1
done
[ -z "$(program_value 'SELECT 1')" ] || fail "mirt still gets in from 127.0.0.1"
PGPASSWORD=$tls_password psql -X -q -h 127.0.0.1 -p "$tls_port" -U "$VETFAQ_TEST_PG_ADMIN" -d faq -c 'SELECT 1' >/dev/null \
    || fail "the rules keep out the administrator too"

echo "provisioning: all checks passed"
