// The causes told apart from what the drivers really say (texts recorded
// from unixODBC 2.3.11, the SQLite ODBC driver 0.9998 and psqlODBC 13.02).

#include "runtime/failure_cause.h"

#include <gtest/gtest.h>

using rt::Cause;

TEST(FailureCause, TheDriversWordsGiveTheCause)
{
    const struct {
        const char* state;
        const char* text;
        Cause cause;
    } cases[] = {
        {"IM002", "[unixODBC][Driver Manager]Data source name not found and no default driver specified", Cause::NoDataSource},
        {"01000", "[unixODBC][Driver Manager]Can't open lib '/usr/lib/nothing.so' : file not found", Cause::DriverMissing},
        {"HY000", "[SQLite]connect failed", Cause::DatabaseMissing},
        {"HY000", "[SQLite]connect failed\nThe database file /x/faq.db or its folder is read-only.", Cause::ReadOnly},
        {"HY000", "[SQLite]attempt to write a readonly database (8)", Cause::ReadOnly},
        {"HY000", "[SQLite]database or disk is full", Cause::DiskFull},
        {"HY000", "[SQLite]database is locked (5)", Cause::Busy},
        {"08001", "connection to server at \"127.0.0.1\", port 5432 failed: Connection refused", Cause::ServerUnreachable},
        {"08001", "connection to server at \"127.0.0.1\", port 55499 failed: timeout expired", Cause::ServerUnreachable},
        // A full server or pooler: the address in the words is no sign of an unreachable one.
        {"08001", "connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  sorry, too many clients already", Cause::ServerFull},
        {"08001", "connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  too many connections for database \"faq\"", Cause::ServerFull},
        {"08001", "connection to server at \"127.0.0.1\", port 6432 failed: FATAL:  no more connections allowed (max_client_conn)", Cause::ServerFull},
        {"08001", "FATAL:  password authentication failed for user \"mirt\"", Cause::LoginRefused},
        {"57P01", "FATAL: terminating connection due to administrator command;\nThe connection has been lost", Cause::ConnectionLost},
        {"HY000", "The connection has been lost;\nError while preparing parameters", Cause::ConnectionLost},
        {"08S01", "SQLExecDirect unable due to the connection lost", Cause::ConnectionLost},
        {"HYT00", "The database did not answer within 15 s.", Cause::NotAnswering},
        {"HY008", "The wait for the database was cancelled.", Cause::Cancelled},
        {"23505", "ERROR: duplicate key value violates unique constraint \"faq_pkey\"", Cause::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rt::causeOf(QString::fromLatin1(c.state), QString::fromLatin1(c.text)), c.cause) << c.text;
        const QString words = rt::explanation(c.cause, std::chrono::milliseconds(15000));
        EXPECT_EQ(words.isEmpty(), c.cause == Cause::Other) << c.text;
    }
    // A driver that only says the connection is dead.
    EXPECT_EQ(rt::causeOf(QStringLiteral("HY000"), QStringLiteral("Something odd"), true), Cause::ConnectionLost);
    EXPECT_TRUE(rt::explanation(Cause::NotAnswering, std::chrono::milliseconds(2500)).contains(QStringLiteral("2.5 s")));
}
