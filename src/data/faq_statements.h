#pragma once
// Every statement the program sends on table faq. Values are bound to
// parameter markers, never pasted into the text; the one exception is the
// entry number in the load text, which is built from a 16-bit integer.

#include "runtime/transaction.h"

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

// How many entries carry the number, into ima.
void countByNumber(rt::Transaction& t, Int rbr, Int& ima);
// The highest entry number into broj; null when the table is empty.
void highestNumber(rt::Transaction& t, Int& broj);
void updateTexts(rt::Transaction& t, const Text& who, const Text& question, const Text& product, const Text& lot,
                 const Text& solution, Int rbr);
// The date text is the fourth value, as in the table's stored column order.
void insertEntry(rt::Transaction& t, Int rbr, const Text& who, const Text& question, const Text& datum,
                 const Text& product, const Text& lot, const Text& solution);
void deleteEntry(rt::Transaction& t, Int rbr);
// The text of the load statement for an entry number.
QString loadEntrySql(qint16 rbr);

} // namespace faq
