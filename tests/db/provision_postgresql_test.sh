#!/usr/bin/env bash
# db/provision-postgresql.sh against the test cluster of ./test: what it sets
# up, that a second run changes nothing, and how it treats a data source FAQ
# that exists already.
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
database=vetfaq_provision_$$_$RANDOM
export PGPASSWORD=$VETFAQ_TEST_PG_PASSWORD
admin_sql() {
    psql -X -q -t -A -v ON_ERROR_STOP=1 -h "$VETFAQ_TEST_PG_HOST" -p "$VETFAQ_TEST_PG_PORT" \
        -U "$VETFAQ_TEST_PG_ADMIN" "$@"
}
cleanup() {
    admin_sql -d postgres -c "DROP DATABASE IF EXISTS \"$database\" WITH (FORCE)" >/dev/null 2>&1 || true
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

echo "provisioning: all checks passed"
