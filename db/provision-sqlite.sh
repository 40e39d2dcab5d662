#!/usr/bin/env bash
# Writes the user data source FAQ for an embedded SQLite database at
# $XDG_DATA_HOME/vetfaq/faq.db and creates table faq in it. Leaves an existing
# data source FAQ alone.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/odbc-dsn.sh"

if dsn_exists; then
    echo "vetfaq: the data source FAQ exists already; left as it is." >&2
    exit 0
fi

driver=$(driver_for SQLite3 libsqlite3odbc.so)
if [ -z "$driver" ]; then
    echo "vetfaq: the SQLite ODBC driver is not installed (Debian package libsqliteodbc)" >&2
    exit 1
fi

# The entries hold customers' names and questions: the folder and the database
# are their owner's only, whatever the umask. SQLite gives the -wal and -shm
# files it makes later the database file's permissions.
umask 077
data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/vetfaq"
database="$data_dir/faq.db"
mkdir -p "$data_dir"
chmod 700 "$data_dir"
for file in "$database" "$database-wal" "$database-shm"; do
    [ ! -e "$file" ] || chmod 600 "$file"
done
sqlite3 "$database" <"$HERE/sqlite.sql" >/dev/null

install_dsn user "$(fill_template "$HERE/odbc-sqlite.ini.in" DRIVER="$driver" DATABASE="$database")"
echo "vetfaq: created the data source FAQ in $(dsn_file user) with its database at $database" >&2
