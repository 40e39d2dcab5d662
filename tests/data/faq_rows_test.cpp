// Reading the grid's rows through the real ODBC drivers, from SQLite and
// from PostgreSQL.

#include "data/faq_rows.h"
#include "data/faq_statements.h"
#include "support/on_each_backend.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>

namespace {

rt::ConnectionSettings settings(const QString& dbms = QStringLiteral("ODBC"))
{
    return {dbms, false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

// Puts a copy of the database file in its place under its name, as another
// program replacing it would.
void replaceByACopyOfItself(const QString& file)
{
    const QString copy = file + QStringLiteral(".copy");
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(file, copy));
    ASSERT_EQ(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(file).constData()), 0);
}

std::vector<faq::Row> load(std::size_t blockRows = 512)
{
    std::vector<faq::Row> rows;
    const odbc::Outcome outcome = faq::loadRows(settings(), rows, blockRows);
    EXPECT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
    return rows;
}

// The grid lists the rows in no particular order.
std::vector<faq::Row> loadByNumber(std::size_t blockRows = 512)
{
    auto rows = load(blockRows);
    std::sort(rows.begin(), rows.end(), [](const faq::Row& a, const faq::Row& b) { return a.rbr < b.rbr; });
    return rows;
}

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// Writes entries the way the program does: bound values on its own connection.
class Writer {
public:
    Writer()
    {
        t.DBMS = QStringLiteral("ODBC");
        t.DBParm = settings().dbParm;
        t.connect();
        EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    }
    void add(qint16 rbr, const rt::Text& adresa, const rt::Text& lot, const rt::Text& datum = QStringLiteral("12/06/2026"))
    {
        faq::insertEntry(t, rbr, adresa, QStringLiteral("q"), datum, QStringLiteral("p"), lot, QStringLiteral("s"));
        EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    }
    void commit()
    {
        t.commit();
        EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    }

private:
    rt::Transaction t;
};

class grid_rows : public OnEachBackend {};
INSTANTIATE_ON_EACH_BACKEND(grid_rows);

} // namespace

TEST_P(grid_rows, NullsStayApartFromEmptyTextsAndNumbersComeBackWhole)
{
    EXPECT_TRUE(load().empty());

    // An older SQLite table may hold any whole number (today's schema keeps
    // new ones to 16 bits); the server's holds 16 bits.
    const qint64 big = either(Q_INT64_C(4294967296), Q_INT64_C(32767));
    if (backend() == Backend::SQLite)
        source().exec(QStringLiteral("DROP TRIGGER faq_rbr_range_insert"));
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa, datum, lot) VALUES"
                                 " (1, NULL, NULL, NULL), (2, '', '2026-12-06 00:00:00', ''), ($1, 'x', NULL, 'y')"),
                  {big});
    const auto rows = loadByNumber();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rbr, 1);
    EXPECT_FALSE(rows[0].adresa || rows[0].datum || rows[0].lot);
    EXPECT_EQ(rows[1].adresa, QString());
    EXPECT_EQ(rows[1].lot, QString());
    EXPECT_EQ(rows[1].datum, at(2026, 12, 6));
    EXPECT_EQ(rows[2].rbr, big);
    EXPECT_EQ(rows[2].lot, QStringLiteral("y"));
}

TEST_P(grid_rows, TheProgramsDateTextsComeBackAsThoseDays)
{
    Writer writer;
    writer.add(1, QStringLiteral("a"), QStringLiteral("l"), QStringLiteral("12/06/2026"));
    writer.add(2, QStringLiteral("b"), QStringLiteral("l"), QStringLiteral("01/02/2027"));  // 2 January, not 1 February
    writer.add(3, QStringLiteral("c"), QStringLiteral("l"), QStringLiteral("12/31/2026"));
    writer.add(4, QStringLiteral("d"), QStringLiteral("l"), rt::Text());
    writer.commit();
    source().exec(QStringLiteral("INSERT INTO faq (rbr, datum) VALUES (5, '2026-12-06 13:45:07.250')"));

    const auto rows = loadByNumber();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].datum, at(2026, 12, 6));
    EXPECT_EQ(rows[1].datum, at(2027, 1, 2));
    EXPECT_EQ(rows[2].datum, at(2026, 12, 31));
    EXPECT_EQ(rows[3].datum, std::nullopt);
    EXPECT_EQ(rows[4].datum, at(2026, 12, 6, 13, 45, 7, 250));
}

// The program stores 'mm/dd/yyyy'; the SQLite schema's trigger rewrites it on
// insert. Texts that bypass the trigger show what the SQLite driver makes of
// them (a PostgreSQL column holds nothing but real timestamps).
TEST(grid_rows_on_sqlite, DatesAsTheDriverDeliversThem)
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
        source.exec(QStringLiteral("INSERT INTO faq (rbr, datum) VALUES ($1, $2)"), {rbr, QLatin1String(c.stored)});
        if (!c.viaTrigger)
            source.exec(QStringLiteral("UPDATE faq SET datum = $1 WHERE rbr = $2"), {QLatin1String(c.stored), rbr});
    }
    const auto rows = load();
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].datum, cases[i].expected) << cases[i].stored;
}

TEST_P(grid_rows, LongTextsComeBackWholeWhateverTheBlockSize)
{
    // 'ač': one UTF-16 unit each, two UTF-8 lengths.
    Writer writer;
    for (qint16 i = 1; i <= 7; ++i) {
        const QString adresa = i == 5 ? QStringLiteral("ač").repeated(50000)
                             : i == 6 ? QStringLiteral("ač").repeated(128)
                                      : QStringLiteral("a%1").arg(i);
        const QString lot = i == 2 ? QString(514, u'x') : QStringLiteral("l%1").arg(i);
        writer.add(i, adresa, lot);
    }
    writer.commit();
    for (std::size_t blockRows : {3u, 512u}) {
        const auto rows = loadByNumber(blockRows);
        ASSERT_EQ(rows.size(), 7u) << blockRows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].rbr, qint64(i + 1));
        EXPECT_EQ(rows[4].adresa, QStringLiteral("ač").repeated(50000)) << "100 000 units, blocks of " << blockRows;
        EXPECT_EQ(rows[5].adresa, QStringLiteral("ač").repeated(128)) << "exactly the bound size";
        EXPECT_EQ(rows[1].lot, QString(514, u'x'));
        EXPECT_EQ(rows[6].adresa, QStringLiteral("a7"));
        EXPECT_EQ(rows[6].lot, QStringLiteral("l7"));
    }
}

// The texts of a block are read into one shared allocation; each must still
// behave as a string of its own.
TEST_P(grid_rows, EachListedTextIsAStringOfItsOwn)
{
    Writer writer;
    for (qint16 i = 1; i <= 5; ++i)
        writer.add(i, QStringLiteral("address %1").arg(i), QStringLiteral("lot %1").arg(i));
    writer.commit();
    for (std::size_t blockRows : {2u, 512u}) {
        QString kept;
        {
            auto rows = loadByNumber(blockRows);
            ASSERT_EQ(rows.size(), 5u);
            rows[1].adresa->append(QStringLiteral(" changed"));
            rows[2].lot->replace(u'l', u'L');
            EXPECT_EQ(rows[0].adresa, QStringLiteral("address 1")) << blockRows;
            EXPECT_EQ(rows[1].adresa, QStringLiteral("address 2 changed"));
            EXPECT_EQ(rows[2].adresa, QStringLiteral("address 3"));
            EXPECT_EQ(rows[2].lot, QStringLiteral("Lot 3"));
            EXPECT_EQ(rows[3].lot, QStringLiteral("lot 4"));
            kept = *rows[4].adresa;
        }
        // Outliving its rows, the last string of its block is still whole and can grow.
        EXPECT_EQ(kept, QStringLiteral("address 5"));
        EXPECT_EQ(kept.utf16()[kept.size()], 0) << "ends in a terminator";
        kept.append(QStringLiteral(" and more"));
        EXPECT_EQ(kept, QStringLiteral("address 5 and more"));
    }
}

TEST_P(grid_rows, TextsComeBackUnitForUnit)
{
    // Short and long, in one, two, three and four bytes of UTF-8, around the
    // bound buffer's size (longer ones are read again in full).
    const QString texts[][2] = {
        {QStringLiteral("č ć đ š ž Č Ć Đ Š Ž"), QStringLiteral("O'Brien's ''lot'' 'Đ'")},
        {QStringLiteral("\uFEFFstarts with a byte order mark"), QStringLiteral("\uFEFF")},
        {QStringLiteral("emoji \U0001F436 and \u05E9\u05DC\u05D5\u05DD"), QString(255, QChar(0x20AC))},
        {QString(256, QChar(0x20AC)), QString(257, QChar(0x010D))},
        {QString(300, QChar(0x20AC)), QString(200, u'a') + QString(60, QChar(0x010D))},
    };
    Writer writer;
    for (int i = 0; i < int(std::size(texts)); ++i)
        writer.add(i + 1, texts[i][0], texts[i][1]);
    writer.commit();

    const auto rows = load();
    ASSERT_EQ(rows.size(), std::size(texts));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].adresa, texts[i][0]) << i;
        EXPECT_EQ(rows[i].lot, texts[i][1]) << i;
        EXPECT_EQ(rows[i].datum, at(2026, 12, 6));
    }
}

TEST_P(grid_rows, FailuresCarryTheDriversTextAndLeaveTheRowsAlone)
{
    source().exec(QStringLiteral("DROP TABLE faq"));
    rt::ConnectionSettings noConnectString = settings();
    noConnectString.dbParm = QStringLiteral("DSN=FAQ");
    const std::pair<rt::ConnectionSettings, QString> cases[] = {
        {settings(), either(QStringLiteral("no such table: faq"), QStringLiteral("relation \"faq\" does not exist"))},
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

// A listing stands for a new read only while nothing could tell them apart:
// any change committed by another connection, even one begun before the
// listing's read, another file under the data source's name or other
// settings make a new read necessary. A server counts any transaction that
// wrote, even one that changed nothing.
TEST_P(grid_rows, StillCurrentOnlyWhileNothingChanged)
{
    std::optional<Writer> writer;  // a change of another program's, in a transaction it holds open
    struct Case {
        const char* what;
        std::function<void(rt::ConnectionSettings&)> meanwhile;
        bool current, currentOnAServer;
        std::function<void()> before = [] {};
    };
    const auto exec = [this](const char* sql) {
        return [this, sql](rt::ConnectionSettings&) { source().exec(QString::fromLatin1(sql)); };
    };
    const std::vector<Case> cases = {
        {"nothing", [](rt::ConnectionSettings&) {}, true, true},
        {"a read by another connection", exec("SELECT count(*) FROM faq"), true, true},
        {"an update that changes nothing", exec("UPDATE faq SET lot = lot"), true, false},
        {"an entry added", exec("INSERT INTO faq (rbr, adresa) VALUES (3, 'three')"), false, false},
        {"a text changed, same length", exec("UPDATE faq SET lot = 'L2' WHERE rbr = 1"), false, false},
        {"an entry deleted", exec("DELETE FROM faq WHERE rbr = 2"), false, false},
        {"an entry added, not committed yet", [&](rt::ConnectionSettings&) { writer.emplace().add(4, QStringLiteral("four"), {}); },
         true, true},
        {"an entry added before the read, committed after", [&](rt::ConnectionSettings&) { writer->commit(); }, false,
         false, [&] { writer.emplace().add(5, QStringLiteral("five"), {}); }},
        {"other settings", [](rt::ConnectionSettings& s) { s.autoCommit = true; }, false, false},
    };
    // A server's snapshot moves with any transaction that ends on it, and
    // other tests share the test server: a listing expected to stand there
    // gets up to twenty tries, each with a read of its own.
    const auto check = [&](const Case& c) {
        SCOPED_TRACE(c.what);
        const bool expected = either(c.current, c.currentOnAServer);
        const int tries = expected && backend() == Backend::PostgreSQL ? 20 : 1;
        bool current = !expected;
        for (int attempt = 0; attempt < tries && current != expected; ++attempt) {
            source().exec(QStringLiteral("DELETE FROM faq"));
            source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa, lot) VALUES (1, 'one', 'L1'), (2, 'two', NULL)"));
            c.before();
            std::unique_ptr<faq::Snapshot> snapshot;
            std::unique_ptr<faq::Spare> spare;
            ASSERT_TRUE(faq::readSnapshot(settings(), snapshot, spare).ok());
            ASSERT_TRUE(snapshot && snapshot->vouchable());
            EXPECT_EQ(snapshot->rows->size(), 2u);
            faq::endRead(*snapshot, spare);
            rt::ConnectionSettings now = settings();
            c.meanwhile(now);
            current = faq::stillCurrent(*snapshot, now, spare);
            writer.reset();
            // Once the rows are shown, asking holds nothing: another program
            // can still write. (On a server the question begins the read
            // that may follow, in a transaction left open until then.)
            faq::endRead(*snapshot, spare);
            if (backend() == Backend::PostgreSQL) {
                EXPECT_EQ(source().programSessionsInATransaction(), QStringList());
            }
            source().exec(QStringLiteral("UPDATE faq SET adresa = adresa"));
        }
        EXPECT_EQ(current, expected);
    };
    for (const Case& c : cases)
        check(c);
    if (backend() == Backend::PostgreSQL)
        return;
    // Last: the fixture's own session stays with the file it opened.
    check({"the file replaced by a copy of itself",
           [this](rt::ConnectionSettings&) { replaceByACopyOfItself(source().databaseFile()); },
           false, false});
}

// A read of a table whose entries lie far apart is made in two halves: on
// SQLite a filter's at once over two connections, on a server one after the
// other. Whatever another program commits meanwhile, both halves are of one
// state of the table: here a token moves between an entry in each half, one
// transaction at a time, so exactly one entry holds it at any moment.
TEST_P(grid_rows, AReadInTwoHalvesSeesOneStateOfTheTable)
{
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa, lot) VALUES (1, 'low', 'tok'), (30000, 'high', 'x')"));
    faq::RowFilter holdsTheToken;
    holdsTheToken.columns = {faq::TextColumn::Lot};
    holdsTheToken.keep = [](const faq::RowTexts& texts) {
        const std::optional<QString>& lot = texts[static_cast<std::size_t>(faq::TextColumn::Lot)];
        return lot && *lot == QLatin1String("tok");
    };
    holdsTheToken.narrowing.terms = {{faq::TextColumn::Lot, QStringLiteral("tok")}};

    std::atomic<bool> stop = false;
    std::atomic<int> moves = 0;
    std::thread mover([&] {
        for (bool low = false; !stop; low = !low, ++moves)
            source().exec(QStringLiteral("BEGIN; UPDATE faq SET lot = '%1' WHERE rbr = 1; "
                                       "UPDATE faq SET lot = '%2' WHERE rbr = 30000; COMMIT")
                            .arg(low ? QStringLiteral("tok") : QStringLiteral("x"),
                                 low ? QStringLiteral("x") : QStringLiteral("tok")));
    });
    std::set<qint64> holders;
    int wrong = 0;
    // Every other read over the connections the one before kept.
    std::unique_ptr<faq::Spare> spare;
    for (int read = 0; read < 300; ++read) {
        std::vector<faq::Row> rows;
        std::unique_ptr<faq::Leftover> leftover;
        const odbc::Outcome outcome = faq::loadRows(settings(), rows, &holdsTheToken, leftover, spare);
        ASSERT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
        if (read % 2 == 0)
            spare = faq::spareOf(settings(), std::move(*leftover));
        if (rows.size() == 1)
            holders.insert(rows[0].rbr.value_or(0));
        else
            ++wrong;
    }
    stop = true;
    mover.join();
    EXPECT_EQ(wrong, 0) << "reads that found the token in both halves or in neither";
    EXPECT_GT(moves.load(), 20);
    EXPECT_EQ(holders, (std::set<qint64>{1, 30000}));
}

// On SQLite a filter's read in two halves leaves both its connections as
// the spare, and the next such read goes over them, but only with the same
// settings and while the data source still names the file they opened. A
// connection is told by a setting of its own (SQLite's cache size).
TEST_P(grid_rows, OnSQLiteAFiltersTwoConnectionsServeTheNextWhileTheFileStands)
{
    if (backend() != Backend::SQLite)
        GTEST_SKIP() << "SQLite's own";
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa, lot) VALUES (1, 'low', 'a'), (30000, 'high', 'a')"));
    faq::RowFilter lotA;
    lotA.columns = {faq::TextColumn::Lot};
    lotA.keep = [](const faq::RowTexts& texts) { return texts[static_cast<std::size_t>(faq::TextColumn::Lot)] == QStringLiteral("a"); };
    const auto cacheSize = [](odbc::Connection& connection, const char* set = nullptr) {
        odbc::Outcome outcome;
        std::optional<odbc::Statement> s = connection.statement(outcome);
        std::optional<QString> value;
        if (s && set)
            s->executeDirect(QString::fromLatin1(set));
        if (s && s->executeDirect(QStringLiteral("PRAGMA cache_size")).ok() && s->fetch().ok())
            s->getText(1, value);
        connection.rollback();
        return value.value_or(QString());
    };
    const QString marked = QStringLiteral("-1234");
    struct Case {
        const char* what;
        std::function<void(rt::ConnectionSettings&)> meanwhile;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"nothing happened", [](rt::ConnectionSettings&) {}, true},
        {"other settings", [](rt::ConnectionSettings& s) { s.autoCommit = true; }, false},
        {"the file replaced by a copy of itself",
         [this](rt::ConnectionSettings&) {
             source().exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));  // the copy holds every entry
             replaceByACopyOfItself(source().databaseFile());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<faq::Row> rows;
        std::unique_ptr<faq::Leftover> leftover;
        std::unique_ptr<faq::Spare> spare;
        ASSERT_TRUE(faq::loadRows(settings(), rows, &lotA, leftover, spare).ok());
        spare = faq::spareOf(settings(), std::move(*leftover));
        ASSERT_TRUE(spare && spare->connection.isOpen() && spare->second.isOpen()) << "both kept";
        cacheSize(spare->connection, "PRAGMA cache_size = -1234");
        cacheSize(spare->second, "PRAGMA cache_size = -1234");
        rt::ConnectionSettings now = settings();
        c.meanwhile(now);
        rows.clear();
        ASSERT_TRUE(faq::loadRows(now, rows, &lotA, leftover, spare).ok());
        EXPECT_EQ(rows.size(), 2u);
        EXPECT_FALSE(spare) << "used up";
        ASSERT_TRUE(leftover && leftover->upper);
        EXPECT_EQ(cacheSize(leftover->connection) == marked, c.kept);
        EXPECT_EQ(cacheSize(leftover->upper->connection) == marked, c.kept);
    }
}

// On a server a read's connection is kept for the next question whether its
// listing still stands and for the next read with the same settings; one
// lost meanwhile makes the listing be read again, with a second try at the
// connection, never a failure.
TEST(grid_rows_snapshot, OnAServerTheConnectionServesTheNextQuestionAndRead)
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
    ThrowawayDataSource source(Backend::PostgreSQL);
    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'one')"));
    std::unique_ptr<faq::Spare> spare;
    std::unique_ptr<faq::Snapshot> snapshot;
    ASSERT_TRUE(faq::readSnapshot(settings(), snapshot, spare).ok());
    EXPECT_TRUE(snapshot->vouchable());
    faq::endRead(*snapshot, spare);
    ASSERT_TRUE(spare);
    EXPECT_FALSE(snapshot->kept.connection.isOpen()) << "handed on, not kept beside the spare";

    struct Case {
        const char* what;
        const char* meanwhile;
        bool current;
    };
    for (const Case& c : {Case{"kept", nullptr, true},
                          Case{"lost", "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE datname = current_database() AND usename = 'mirt'", false}}) {
        SCOPED_TRACE(c.what);
        if (c.meanwhile)
            source.exec(QString::fromLatin1(c.meanwhile));
        bool current = faq::stillCurrent(*snapshot, settings(), spare);
        // Any transaction that ends on the shared test server moves its
        // snapshot: a listing expected to stand gets up to twenty reads.
        for (int tries = 1; c.current && !current && tries < 20; ++tries) {
            ASSERT_TRUE(faq::readSnapshot(settings(), snapshot, spare).ok());
            faq::endRead(*snapshot, spare);
            current = faq::stillCurrent(*snapshot, settings(), spare);
        }
        EXPECT_EQ(current, c.current);
        EXPECT_TRUE(spare) << "asked over it, and kept";
        std::vector<faq::Row> rows;
        std::unique_ptr<faq::Leftover> leftover;
        const odbc::Outcome outcome = faq::loadRows(settings(), rows, nullptr, leftover, spare);
        ASSERT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
        EXPECT_EQ(rows.size(), 1u);
        EXPECT_FALSE(spare) << "used up";
        ASSERT_TRUE(leftover);
        spare = faq::spareOf(settings(), std::move(*leftover));
        EXPECT_EQ(source.programSessions().size(), 1) << "one connection, kept, and not in a transaction";
        EXPECT_EQ(source.programSessionsInATransaction(), QStringList());
    }
}

// A server that does not say what its transactions see (here the program's
// login may not ask) is read at every Search, as well as ever: also where a
// failed statement leaves the transaction failed (psqlODBC's Protocol 7.4-0).
TEST(grid_rows_snapshot, AServerThatCannotTellIsReadEveryTime)
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
    ThrowawayDataSource source(Backend::PostgreSQL);
    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'one'), (30000, 'far')"));
    source.exec(QStringLiteral("REVOKE EXECUTE ON FUNCTION pg_current_snapshot() FROM PUBLIC"));
    rt::ConnectionSettings rollingBackAll = settings();
    rollingBackAll.dbParm =
        QStringLiteral("ConnectString='%1;Protocol=7.4-0'").arg(ThrowawayDataSource::connectString());
    std::unique_ptr<faq::Spare> spare;
    std::unique_ptr<faq::Snapshot> snapshot;
    const odbc::Outcome outcome = faq::readSnapshot(rollingBackAll, snapshot, spare);
    ASSERT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
    EXPECT_EQ(snapshot->rows->size(), 2u);
    EXPECT_FALSE(snapshot->vouchable());
    EXPECT_FALSE(faq::stillCurrent(*snapshot, rollingBackAll, spare));
    faq::endRead(*snapshot, spare);  // as once the rows are shown
    EXPECT_EQ(source.programSessionsInATransaction(), QStringList());
}
