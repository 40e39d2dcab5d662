// The transaction object on a real database through the real ODBC driver,
// once on SQLite and once on PostgreSQL.

#include "runtime/transaction.h"
#include "support/on_each_backend.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using rt::Int;
using rt::Text;
using rt::Transaction;

namespace {

void configure(Transaction& t, const QString& dbparm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'"))
{
    t.DBMS = QStringLiteral("ODBC");
    t.AutoCommit = false;
    t.DBParm = dbparm;
}

void connect(Transaction& t)
{
    configure(t);
    t.connect();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
}

class TransactionOn : public OnEachBackend {};
INSTANTIATE_ON_EACH_BACKEND(TransactionOn);
class DynamicCursorOn : public OnEachBackend {};
INSTANTIATE_ON_EACH_BACKEND(DynamicCursorOn);

} // namespace

TEST(ConnectionSettings, ConnectStringIsTheTextBetweenTheQuotes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'", "DSN=FAQ;UID=mirt;PWD=qelp"},
        {"DisableBind=1,ConnectString='DSN=X'", "DSN=X"},
        {"connectstring \t=\n 'DSN=Y'", "DSN=Y"},  // any case, white space around the sign
        {"ConnectString=''", ""},
        {"ConnectString=DSN=Z,ConnectString='DSN=W'", "DSN=W"},  // the first one that is quoted
        {"ConnectString='DSN=V", ""},                            // never closed
        {"DSN=FAQ", ""},
        {"", ""},
    };
    for (const auto& [dbParm, expected] : cases) {
        const rt::ConnectionSettings s{QStringLiteral("ODBC"), false, QString::fromUtf8(dbParm)};
        EXPECT_EQ(s.connectString(), QString::fromUtf8(expected)) << dbParm;
    }
}

TEST(Transaction, MissingDataSourceLeavesNegativeStatusAndTheDriverManagersText)
{
    NoDataSource none;
    Transaction t;
    configure(t);
    t.connect();
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_EQ(t.SQLState, QStringLiteral("IM002"));
    EXPECT_TRUE(t.SQLErrText.contains(QStringLiteral("Data source name not found"))) << t.SQLErrText.toStdString();
    EXPECT_FALSE(t.isConnected());

    // Every later statement fails the same way instead of crashing.
    Int count;
    t.selectInto(QStringLiteral("SELECT 1"), {}, {&count});
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_FALSE(t.SQLErrText.isEmpty());
    t.commit();
    EXPECT_LT(t.SQLCode, 0);
}

TEST(Transaction, OnlyTheOdbcInterfaceConnects)
{
    ThrowawayDataSource source;
    Transaction t;
    configure(t);
    t.DBMS = QStringLiteral("O90");
    t.connect();
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_FALSE(t.isConnected());
}

TEST_P(TransactionOn, ChangesStayInvisibleToOthersUntilCommitAndAreRolledBackAtDestruction)
{
    {
        Transaction t;
        connect(t);
        t.execute(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (?, ?)"), {rt::bind(qint16(1)), rt::bind(QStringLiteral("a"))});
        ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
        EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("0"));
        t.commit();
        EXPECT_EQ(t.SQLCode, 0);
        EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("1"));

        t.execute(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (?, ?)"), {rt::bind(qint16(2)), rt::bind(QStringLiteral("b"))});
        ASSERT_EQ(t.SQLCode, 0);
    }
    // Destroyed without a commit: the second insert is gone.
    EXPECT_EQ(source().column(QStringLiteral("SELECT rbr FROM faq")), QStringList{QStringLiteral("1")});
}

// The program never rolls back: after a failed change it goes on in the same
// transaction and commits with the next successful one. PostgreSQL would
// refuse everything after an error until a rollback; psqlODBC undoes just the
// failed statement, so the transaction stays usable there as on SQLite.
TEST_P(TransactionOn, AFailedChangeLeavesTheOpenTransactionUsable)
{
    Transaction t;
    connect(t);
    const QString insert = QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (?, ?)");
    t.execute(insert, {rt::bind(qint16(1)), rt::bind(QStringLiteral("first"))});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    t.execute(insert, {rt::bind(qint16(1)), rt::bind(QStringLiteral("same number"))});
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_EQ(t.SQLState, either(QStringLiteral("HY000"), QStringLiteral("23505"))) << t.SQLErrText.toStdString();

    Int count;
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(count, Int(1));
    t.execute(insert, {rt::bind(qint16(2)), rt::bind(QStringLiteral("second"))});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    t.commit();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(source().column(QStringLiteral("SELECT adresa FROM faq ORDER BY rbr")),
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST_P(TransactionOn, FailingStatementsReportTheDatabasesText)
{
    source().exec(either(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON faq BEGIN SELECT RAISE(ABORT, 'entries are kept'); END;"),
                         QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS"
                                        " $$ BEGIN RAISE EXCEPTION 'entries are kept'; END $$;"
                                        "CREATE TRIGGER refuse BEFORE DELETE ON faq FOR EACH ROW EXECUTE FUNCTION refuse();")));
    source().exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (5)"));
    Transaction t;
    connect(t);

    t.execute(QStringLiteral("DELETE FROM faq WHERE rbr =? "), {rt::bind(qint16(5))});
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(QStringLiteral("entries are kept"))) << t.SQLErrText.toStdString();
    EXPECT_TRUE(t.SQLErrText.startsWith(QStringLiteral("SQLSTATE = "))) << t.SQLErrText.toStdString();
    // One record, not the text and then an empty "SQLSTATE = P0001".
    EXPECT_EQ(t.SQLErrText.count(QStringLiteral("SQLSTATE = ")), 1) << t.SQLErrText.toStdString();

    Int n;
    t.selectInto(QStringLiteral("SELECT count(*) FROM missing_table"), {}, {&n});
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(QStringLiteral("missing_table"))) << t.SQLErrText.toStdString();
    EXPECT_EQ(t.SQLState, either(QStringLiteral("HY000"), QStringLiteral("42P01")));
    EXPECT_FALSE(n.has_value()) << "a failed select leaves its variables alone";

    // A later good statement clears the error.
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&n});
    EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(t.SQLErrText, QString());
    EXPECT_EQ(n, Int(1));
}

TEST_P(TransactionOn, TextsRoundTripUnchanged)
{
    Transaction t;
    connect(t);
    const QString texts[] = {
        QStringLiteral("č ć đ š ž Č Ć Đ Š Ž"),
        QStringLiteral("it's \"quoted\" and 'single'"),
        QStringLiteral("first line\nsecond line\r\nthird\ttab"),
        QStringLiteral("ÄÖÜ ß ĳ Ω 中文 🐄🐴"),
        QStringLiteral("'); DROP TABLE faq; --"),
        QStringLiteral("back\\slash and $1 and ? marker"),
        QString(5000, u'ž'),  // longer than one read chunk, and sent as long data
        QStringLiteral(""),
    };
    qint16 number = 1;
    for (const QString& text : texts) {
        t.execute(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (?, ?)"), {rt::bind(number), rt::bind(text)});
        ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
        Text back;
        t.selectInto(QStringLiteral("SELECT adresa FROM faq WHERE rbr = ?"), {rt::bind(number)}, {&back});
        ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, text) << "entry " << number;
        ++number;
    }
    t.commit();
    // Stored as UTF-8, so other programs read the same letters.
    for (qint16 n = 1; n < number; ++n)
        EXPECT_EQ(source().scalar(QStringLiteral("SELECT adresa FROM faq WHERE rbr = $1"), {n}), texts[n - 1]) << "entry " << n;
}

TEST_P(TransactionOn, NullsTravelBothWays)
{
    Transaction t;
    connect(t);
    t.execute(QStringLiteral("INSERT INTO faq (rbr, adresa, lot) VALUES (?, ?, ?)"),
              {rt::bind(qint16(3)), rt::bind(Text()), rt::bind(QStringLiteral(""))});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    Text adresa = QStringLiteral("old"), lot;
    Int missing = qint16(9);
    t.selectInto(QStringLiteral("SELECT adresa, lot, NULL FROM faq WHERE rbr = ?"), {rt::bind(qint16(3))}, {&adresa, &lot, &missing});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_FALSE(adresa.has_value());
    ASSERT_TRUE(lot.has_value());
    EXPECT_TRUE(lot->isEmpty());
    EXPECT_FALSE(missing.has_value());
    t.commit();
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq WHERE adresa IS NULL AND lot = ''")), QStringLiteral("1"));
}

TEST_P(TransactionOn, SelectFindingNoRowGives100AndKeepsTheVariables)
{
    Transaction t;
    connect(t);
    Text adresa = QStringLiteral("kept");
    t.selectInto(QStringLiteral("SELECT adresa FROM faq WHERE rbr = ?"), {rt::bind(qint16(1))}, {&adresa});
    EXPECT_EQ(t.SQLCode, 100);
    EXPECT_EQ(adresa, Text(QStringLiteral("kept")));
}

// The program runs every statement with automatic commit off and never ends
// a read itself: a select must not hold a transaction that would keep
// others' commits out of sight or block their changes.
TEST_P(TransactionOn, ASelectSeesWhatOthersCommittedSinceTheLastOne)
{
    source().exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (1)"));
    Transaction t;
    connect(t);
    Int count;
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(count, Int(1));
    source().exec(QStringLiteral("DELETE FROM faq"));
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(count, Int(0));
}

TEST_P(DynamicCursorOn, FetchesEveryRowThenGives100AndLeavesTheVariablesAlone)
{
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'one'), (2, 'two');"));
    Transaction t;
    connect(t);
    rt::DynamicStagingArea sqlsa;
    sqlsa.prepare(QStringLiteral("SELECT adresa FROM faq ORDER BY rbr"), t);
    rt::DynamicCursor cursor(sqlsa);
    cursor.open();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    Text adresa;
    std::vector<QString> seen;
    for (;;) {
        cursor.fetch({&adresa});
        if (t.SQLCode != 0)
            break;
        seen.push_back(*adresa);
    }
    EXPECT_EQ(t.SQLCode, 100);
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(adresa, Text(QStringLiteral("two")));
    cursor.close();
    EXPECT_EQ(t.SQLCode, 0);
}

TEST_P(DynamicCursorOn, TextThatCannotRunFailsAtOpen)
{
    Transaction t;
    connect(t);
    rt::DynamicStagingArea sqlsa;
    sqlsa.prepare(QStringLiteral("SELECT nonsense FROM"), t);
    EXPECT_EQ(t.SQLCode, 0) << "prepare alone reports nothing";
    rt::DynamicCursor cursor(sqlsa);
    cursor.open();
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_FALSE(t.SQLErrText.isEmpty());
    EXPECT_FALSE(cursor.isOpen());
    // A fresh cursor can open after a failed one.
    sqlsa.prepare(QStringLiteral("SELECT adresa FROM faq"), t);
    rt::DynamicCursor next(sqlsa);
    next.open();
    EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
}

// A connection begun ahead is the one the next connect with the same settings
// uses; with other settings it is not, and once let go its session ends.
TEST(ConnectAhead, TakenOverOnlyWithTheSameSettings)
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
    ThrowawayDataSource source(Backend::PostgreSQL);
    const auto settle = [&](qsizetype expected) {
        for (int i = 0; i < 100 && source.programSessions().size() != expected; ++i)
            QThread::msleep(20);
        return source.programSessions().size();
    };
    const rt::ConnectionSettings asOpened{QStringLiteral("ODBC"), false,
                                         QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'")};
    struct Case {
        const char* what;
        bool autoCommit;
        qsizetype sessionsWhileBoth;
    };
    for (const Case& c : {Case{"same settings", false, 1}, Case{"other settings", true, 2}}) {
        SCOPED_TRACE(c.what);
        Transaction::connectAhead(asOpened);
        {
            Transaction t;
            configure(t);
            t.AutoCommit = c.autoCommit;
            t.connect();
            ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
            EXPECT_EQ(settle(c.sessionsWhileBoth), c.sessionsWhileBoth);
            Transaction::dropConnectAhead();
            EXPECT_EQ(settle(1), 1);
            // The connection works, with the autocommit it was asked for.
            t.execute(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (?, 'ahead')"), {rt::bind(qint16(1))});
            ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
            EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QLatin1String(c.autoCommit ? "1" : "0"));
            t.rollback();
        }
        source.exec(QStringLiteral("DELETE FROM faq"));
        EXPECT_EQ(settle(0), 0);
    }
}

// PostgreSQL's driver is loaded ahead of the driver manager, its own
// libraries searched first: the driver manager must find that copy and use
// it, and it must work. Other drivers are left to the driver manager. The
// drivers are named by file alone, as Debian's odbcinst.ini names them.
TEST_P(TransactionOn, TheDriverLoadedAheadIsTheOneThatConnects)
{
    const QString odbcinst = qEnvironmentVariable("ODBCSYSINI") + QStringLiteral("/odbcinst.ini");
    QFile file(odbcinst);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString drivers = QString::fromUtf8(file.readAll());
    file.close();
    drivers.replace(QRegularExpression(QStringLiteral("Driver = /.*/")), QStringLiteral("Driver = "));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(drivers.toUtf8());
    file.close();
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'a'), (2, 'b')"));

    QProcess check;
    check.start(QStringLiteral(VETFAQ_DRIVER_LOAD_CHECK), {});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(QString::fromLocal8Bit(check.readAllStandardOutput()).toStdString(),
              either<std::string>("driver libsqlite3odbc.so loaded - copies 1 entries 2\n",
                                  "driver psqlodbcw.so loaded psqlodbcw.so copies 1 entries 2\n"))
        << check.readAllStandardError().toStdString();
}
