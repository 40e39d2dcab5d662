#!/usr/bin/env bash
# db/provision-sqlite.sh on an account of the test's own: the data source it
# writes works even for a path with blanks, '|' and '&', the database is its
# owner's only whatever the umask (the files SQLite makes later too), and an
# existing data source FAQ, user or system, is left alone.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

export HOME=$work/home ODBCSYSINI=$work/sys ODBCINI=$work/home/.odbc.ini
export XDG_DATA_HOME="$work/data a|b&c"
mkdir -p "$HOME" "$ODBCSYSINI"
printf '[SQLite3]\nDriver = %s\n' "$(find /usr/lib -name libsqlite3odbc.so -print -quit)" >"$ODBCSYSINI/odbcinst.ini"
database=$XDG_DATA_HOME/vetfaq/faq.db
sections() { grep -c '^\[FAQ\]' "$1" || true; }
mode() { stat -c %a "$1"; }

umask 000
"$ROOT/db/provision-sqlite.sh" 2>/dev/null || fail "first run"
[ "$(sections "$ODBCINI")" = 1 ] || fail "expected one FAQ section in $ODBCINI"
grep -qxF "Database=$database" "$ODBCINI" || fail "the data source does not name $database"
[ "$(echo "SELECT count(*) FROM faq" | isql -b -d, FAQ | head -n 1)" = 0 ] || fail "the data source does not reach table faq"

[ "$(mode "$XDG_DATA_HOME/vetfaq")" = 700 ] || fail "the folder is $(mode "$XDG_DATA_HOME/vetfaq")"
[ "$(mode "$database")" = 600 ] || fail "the database is $(mode "$database")"
# The journal files exist while a connection is open after a write.
modes=$(sqlite3 "$database" "INSERT INTO faq (rbr) VALUES (1)" ".shell stat -c %a '$database-wal' '$database-shm'")
[ "$modes" = $'600\n600' ] || fail "the -wal and -shm files are $modes"

out=$("$ROOT/db/provision-sqlite.sh" 2>&1) || fail "second run: $out"
[[ $out == *"left as it is"* ]] || fail "the existing data source was not reported: $out"
[ "$(sections "$ODBCINI")" = 1 ] || fail "the second run doubled the data source"

mv "$ODBCINI" "$ODBCSYSINI/odbc.ini"
"$ROOT/db/provision-sqlite.sh" 2>/dev/null || fail "run with a system data source"
[ ! -s "$ODBCINI" ] || fail "a user data source was added beside the system one"

echo "provisioning: all checks passed"
