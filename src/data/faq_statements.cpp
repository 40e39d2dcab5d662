#include "data/faq_statements.h"

namespace faq {

using rt::bind;

void countByNumber(rt::Transaction& t, Int rbr, Int& ima) { t.selectInto(countByNumberSql, {bind(rbr)}, {&ima}); }

void highestNumber(rt::Transaction& t, rt::Wide& broj) { t.selectInto(highestNumberSql, {}, {&broj}); }

void highestNumberInRange(rt::Transaction& t, Int& broj) { t.selectInto(highestNumberInRangeSql, {}, {&broj}); }

void readWholeEntry(rt::Transaction& t, Int rbr, WholeEntry& e)
{
    t.selectInto(wholeEntrySql, {bind(rbr)}, {&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]});
}

void readEntryForChange(rt::Transaction& t, Int rbr, EntryTexts& texts)
{
    if (t.product() == rt::Product::SQLite) {
        // A write that changes nothing takes the database's write lock, so no
        // other program can commit between the read below and the change.
        t.execute(writeLockSqlite);
        if (t.SQLCode < 0)
            return;
    }
    const QString sql = t.product() == rt::Product::PostgreSQL ? entryTextsSql + QStringLiteral(" FOR UPDATE") : entryTextsSql;
    t.selectForChange(sql, {bind(rbr)}, {&texts[0], &texts[1], &texts[2], &texts[3], &texts[4]});
}

void updateTexts(rt::Transaction& t, const Text& who, const Text& question, const Text& product, const Text& lot,
                 const Text& solution, Int rbr)
{
    t.execute(updateTextsSql, {bind(who), bind(question), bind(product), bind(lot), bind(solution), bind(rbr)});
}

void insertEntry(rt::Transaction& t, Int rbr, const Text& who, const Text& question, const Text& datum,
                 const Text& product, const Text& lot, const Text& solution)
{
    t.execute(insertEntrySql,
              {bind(rbr), bind(who), bind(question), bind(datum), bind(product), bind(lot), bind(solution)});
}

void deleteEntry(rt::Transaction& t, Int rbr) { t.execute(deleteEntrySql, {bind(rbr)}); }

QString loadEntrySql(qint16 rbr) { return loadEntryPrefix + QString::number(rbr); }

} // namespace faq
