#!/usr/bin/env bash
# Writes the user data source FAQ into ~/.odbc.ini (or $ODBCINI) for an
# embedded SQLite database and creates table faq in it. Leaves an existing
# data source FAQ alone.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)

if odbcinst -q -s 2>/dev/null | grep -qx '\[FAQ\]'; then
    echo "vetfaq: the data source FAQ exists already; left as it is." >&2
    exit 0
fi

data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/vetfaq"
database="$data_dir/faq.db"
mkdir -p "$data_dir"
sqlite3 "$database" < "$HERE/sqlite.sql" >/dev/null

# The driver by its registered name where it has one, else by its file.
driver=SQLite3
if ! odbcinst -q -d 2>/dev/null | grep -qx '\[SQLite3\]'; then
    driver=$(find /usr/lib -name libsqlite3odbc.so -print -quit)
fi

# Where the driver manager itself looks for user data sources.
ini=$(odbcinst -j 2>/dev/null | sed -n 's/^USER DATA SOURCES\.*: *//p')
[ -n "$ini" ] || ini="${ODBCINI:-$HOME/.odbc.ini}"
{
    [ -s "$ini" ] && echo
    sed -e "s|@DRIVER@|$driver|" -e "s|@DATABASE@|$database|" "$HERE/odbc-sqlite.ini.in"
} >> "$ini"
echo "vetfaq: created the data source FAQ in $ini with its database at $database" >&2
