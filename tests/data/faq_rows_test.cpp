// Reading the grid's rows from a real SQLite data source through the real ODBC driver.

#include "data/faq_rows.h"
#include "data/faq_statements.h"
#include "support/throwaway_data_source.h"

#include <gtest/gtest.h>

namespace {

rt::ConnectionSettings settings(const QString& dbms = QStringLiteral("ODBC"))
{
    return {dbms, false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

std::vector<faq::Row> load(std::size_t blockRows = 512)
{
    std::vector<faq::Row> rows;
    const odbc::Outcome outcome = faq::loadRows(settings(), rows, blockRows);
    EXPECT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
    return rows;
}

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

} // namespace

TEST(grid_rows, NullsStayApartFromEmptyTextsAndLargeNumbersComeBackWhole)
{
    ThrowawayDataSource source;
    EXPECT_TRUE(load().empty());

    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa, datum, lot) VALUES"
                               " (1, NULL, NULL, NULL), (2, '', '2026-12-06 00:00:00', ''), (4294967296, 'x', NULL, 'y')"));
    const auto rows = load();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rbr, 1);
    EXPECT_FALSE(rows[0].adresa || rows[0].datum || rows[0].lot);
    EXPECT_EQ(rows[1].adresa, QString());
    EXPECT_EQ(rows[1].lot, QString());
    EXPECT_EQ(rows[2].rbr, Q_INT64_C(4294967296));
    EXPECT_EQ(rows[2].lot, QStringLiteral("y"));
}

// The program stores 'mm/dd/yyyy'; the schema's trigger rewrites it on insert.
// Texts that bypass the trigger show what the SQLite driver makes of them.
TEST(grid_rows, DatesAsTheSqliteDriverDeliversThem)
{
    ThrowawayDataSource source;
    struct Case {
        const char* stored;
        bool viaTrigger;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        {"2026-12-06 00:00:00", true, at(2026, 12, 6)},
        {"12/06/2026", true, at(2026, 12, 6)},
        {"12/31/2026", false, at(2026, 12, 31)},  // the driver reads mm/dd/yyyy itself
        {"2026-12-06 13:45:07.250", false, at(2026, 12, 6, 13, 45, 7, 250)},
        {"2026-12-06", false, at(2026, 12, 6)},
        {"2026-02-30 00:00:00", false, std::nullopt},  // no such day: the driver gives null
        {"not a date", false, std::nullopt},
    };
    int rbr = 0;
    for (const auto& c : cases) {
        ++rbr;
        source.exec(QStringLiteral("INSERT INTO faq (rbr, datum) VALUES (%1, '%2')").arg(rbr).arg(QLatin1String(c.stored)));
        if (!c.viaTrigger)
            source.exec(QStringLiteral("UPDATE faq SET datum = '%1' WHERE rbr = %2").arg(QLatin1String(c.stored)).arg(rbr));
    }
    const auto rows = load();
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].datum, cases[i].expected) << cases[i].stored;
}

TEST(grid_rows, LongTextsComeBackWholeWhateverTheBlockSize)
{
    ThrowawayDataSource source;
    // 'ač' repeated: 2n UTF-16 units, two UTF-8 lengths.
    source.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 7)"
        " INSERT INTO faq (rbr, adresa, lot) SELECT i, CASE i WHEN 5 THEN replace(hex(zeroblob(50000)), '00', 'ač')"
        "                                                 WHEN 6 THEN replace(hex(zeroblob(128)), '00', 'ač')"
        "                                                 ELSE 'a' || i END,"
        "                                          CASE i WHEN 2 THEN replace(hex(zeroblob(257)), '0', 'x') ELSE 'l' || i END"
        " FROM n"));
    for (std::size_t blockRows : {3u, 512u}) {
        const auto rows = load(blockRows);
        ASSERT_EQ(rows.size(), 7u) << blockRows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].rbr, qint64(i + 1));
        EXPECT_EQ(rows[4].adresa, QStringLiteral("ač").repeated(50000)) << "100 000 units, blocks of " << blockRows;
        EXPECT_EQ(rows[5].adresa, QStringLiteral("ač").repeated(128)) << "exactly the bound size";
        EXPECT_EQ(rows[1].lot, QString(514, u'x'));
        EXPECT_EQ(rows[6].adresa, QStringLiteral("a7"));
    }
}

TEST(grid_rows, CentralEuropeanLettersAndApostrophesRoundTrip)
{
    ThrowawayDataSource source;
    rt::Transaction t;
    t.DBMS = QStringLiteral("ODBC");
    t.DBParm = settings().dbParm;
    t.connect();
    const QString who = QStringLiteral("č ć đ š ž Č Ć Đ Š Ž");
    const QString lot = QStringLiteral("O'Brien's ''lot'' 'Đ'");
    faq::insertEntry(t, qint16(3), who, QStringLiteral("q"), QStringLiteral("12/06/2026"), QStringLiteral("p"), lot,
                     QStringLiteral("s"));
    t.commit();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();

    const auto rows = load();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].adresa, who);
    EXPECT_EQ(rows[0].lot, lot);
    EXPECT_EQ(rows[0].datum, at(2026, 12, 6));
}

TEST(grid_rows, FailuresCarryTheDriversTextAndLeaveTheRowsAlone)
{
    ThrowawayDataSource source(ThrowawayDataSource::Schema::None);
    rt::ConnectionSettings noConnectString = settings();
    noConnectString.dbParm = QStringLiteral("DSN=FAQ");
    const std::pair<rt::ConnectionSettings, QString> cases[] = {
        {settings(), QStringLiteral("no such table: faq")},
        {settings(QStringLiteral("O90")), QStringLiteral("Unsupported database interface")},
        {noConnectString, QStringLiteral("No ODBC connection string")},
    };
    for (const auto& [given, expectedText] : cases) {
        std::vector<faq::Row> rows(1);
        const odbc::Outcome outcome = faq::loadRows(given, rows);
        EXPECT_LT(outcome.status, 0);
        EXPECT_TRUE(outcome.errorText().contains(expectedText)) << outcome.errorText().toStdString();
        EXPECT_EQ(rows.size(), 1u);
    }
}
