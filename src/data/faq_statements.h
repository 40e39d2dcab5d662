#pragma once
// Every statement the program sends on table faq. Values are bound to
// parameter markers, never pasted into the text; the one exception is the
// entry number in the load text, which is built from a 16-bit integer.

#include "runtime/transaction.h"

#include <array>

namespace faq {

using rt::Int;
using rt::Text;

inline const QString countByNumberSql = QStringLiteral("SELECT Count ( rbr ) FROM faq WHERE rbr =? ");
inline const QString highestNumberSql = QStringLiteral("SELECT MAX ( rbr ) FROM faq ");
inline const QString updateTextsSql = QStringLiteral(
    "update faq SET adresa =? , pitanje =? , proizvod =? , lot =? , odgovor =? WHERE rbr =? ");
inline const QString insertEntrySql = QStringLiteral("INSERT INTO faq VALUES ( ? , ? , ? , ? , ? , ? , ? ) ");
inline const QString deleteEntrySql = QStringLiteral("DELETE FROM faq WHERE rbr =? ");
inline const QString loadEntryPrefix = QStringLiteral("SELECT adresa, pitanje, proizvod, lot, odgovor FROM faq WHERE rbr=");

// Read-only statements of the program's own, beyond the ones above: an
// entry's texts read inside the change that is about to write them, and the
// highest number within the range of entry numbers.
inline const QString entryTextsSql = QStringLiteral("SELECT adresa, pitanje, proizvod, lot, odgovor FROM faq WHERE rbr = ?");
// Takes SQLite's write lock and changes no row, so no trigger runs.
inline const QString writeLockSqlite = QStringLiteral("UPDATE faq SET rbr = rbr WHERE 1 = 0");
inline const QString highestNumberInRangeSql = QStringLiteral("SELECT MAX(rbr) FROM faq WHERE rbr BETWEEN 1 AND 32767");
// Makes the read that begins with it see one state of the table throughout,
// for that transaction only (a pooler may hand the server's connection to
// someone else after it).
inline const QString oneStateReadSql = QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
// What a PostgreSQL server's transaction sees, as one text: its snapshot (the
// transactions ended and still running) and when the server started. The
// same text later means no transaction has changed anything since, on the
// same server, not one restarted or put in its place.
inline const QString serverStateSql = QStringLiteral(
    "SELECT pg_current_snapshot()::text || ' ' || extract(epoch FROM pg_postmaster_start_time())::text");
inline const QString wholeEntrySql =
    QStringLiteral("SELECT adresa, pitanje, datum, proizvod, lot, odgovor FROM faq WHERE rbr = ?");

// The five texts of an entry, in the order who, question, product, lot, answer.
using EntryTexts = std::array<Text, 5>;
// An entry's six stored values after its number, in the table's order: who,
// question, date (as the database writes it), product, lot, answer.
using WholeEntry = std::array<Text, 6>;

// How many entries carry the number, into ima.
void countByNumber(rt::Transaction& t, Int rbr, Int& ima);
// The highest entry number into broj; null when the table is empty. Read
// wide: a table may hold numbers beyond 16 bits.
void highestNumber(rt::Transaction& t, rt::Wide& broj);
// The highest entry number from 1 to 32767; null when there is none.
void highestNumberInRange(rt::Transaction& t, Int& broj);
// Reads an entry whole, for copying and showing it at a glance; 100 when it is not there.
void readWholeEntry(rt::Transaction& t, Int rbr, WholeEntry& entry);
// Starts a change of the entry by making sure nobody else can change it
// before the commit, then reads its texts: on PostgreSQL the row is locked
// (FOR UPDATE), on SQLite the database's write lock is taken first. 100 when
// the entry is not there. The transaction stays open either way.
void readEntryForChange(rt::Transaction& t, Int rbr, EntryTexts& texts);
void updateTexts(rt::Transaction& t, const Text& who, const Text& question, const Text& product, const Text& lot,
                 const Text& solution, Int rbr);
// The date text is the fourth value, as in the table's stored column order.
void insertEntry(rt::Transaction& t, Int rbr, const Text& who, const Text& question, const Text& datum,
                 const Text& product, const Text& lot, const Text& solution);
void deleteEntry(rt::Transaction& t, Int rbr);
// The text of the load statement for an entry number.
QString loadEntrySql(qint16 rbr);

} // namespace faq
