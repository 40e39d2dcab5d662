#include "runtime/failure_cause.h"

#include <array>
#include <utility>

namespace rt {
namespace {

bool containsAny(const QString& text, std::initializer_list<const char*> needles)
{
    for (const char* needle : needles)
        if (text.contains(QLatin1String(needle), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

Cause causeOf(const odbc::Outcome& outcome)
{
    if (outcome.status >= 0)
        return Cause::None;
    QString text;
    for (const auto& d : outcome.diagnostics)
        text += d.message + u'\n';
    return causeOf(outcome.sqlstate(), text, outcome.connectionDead);
}

Cause causeOf(const QString& sqlstate, const QString& text, bool connectionDead)
{
    if (sqlstate.isEmpty() && text.isEmpty())
        return Cause::None;
    if (sqlstate == QLatin1String(timedOutState))
        return Cause::NotAnswering;
    if (sqlstate == QLatin1String(cancelledState))
        return Cause::Cancelled;
    if (sqlstate == QLatin1String(fileMovedState))
        return Cause::FileMoved;
    // Our own look at an SQLite file the driver would not open comes first:
    // the driver's "connect failed" says nothing.
    if (containsAny(text, {"or its folder is read-only"}))
        return Cause::ReadOnly;
    if (sqlstate == QLatin1String("IM002") || containsAny(text, {"Data source name not found"}))
        return Cause::NoDataSource;
    if (sqlstate == QLatin1String("IM003") || containsAny(text, {"Can't open lib", "file not found"}))
        return Cause::DriverMissing;
    if (sqlstate == QLatin1String("28P01") || sqlstate == QLatin1String("28000")
        || containsAny(text, {"password authentication failed", "no password supplied", "authentication failed"}))
        return Cause::LoginRefused;
    // The SQLite driver with NoCreat: sqlite3_open_v2 cannot open a file that is not there.
    // The SQLite driver with NoCreat says only "connect failed" for a file that is not there.
    if (containsAny(text, {"[SQLite]connect failed", "unable to open database file", "No database file exists",
                           "cannot be read with your account", "No such file or directory"}))
        return Cause::DatabaseMissing;
    if (containsAny(text, {"readonly database", "read-only", "Read-only file system", "attempt to write a readonly"}))
        return Cause::ReadOnly;
    if (sqlstate == QLatin1String("53100") || containsAny(text, {"database or disk is full", "No space left on device"}))
        return Cause::DiskFull;
    // A full server answers the log-in with SQLSTATE 53300, which psqlODBC
    // hands on as 08001 "connection to server at ... failed: FATAL: too many
    // ...": the words decide before the address in them does. pgbouncer says
    // so in words of its own.
    if (sqlstate == QLatin1String("53300")
        || containsAny(text, {"too many clients", "too many connections", "remaining connection slots are reserved",
                              "no more connections allowed"}))
        return Cause::ServerFull;
    if (containsAny(text, {"Connection refused", "could not connect to server", "connection to server at",
                           "could not translate host name", "Name or service not known", "No route to host",
                           "Network is unreachable", "timeout expired"}))
        return Cause::ServerUnreachable;
    if (connectionDead || sqlstate.startsWith(QLatin1String("08")) || sqlstate.startsWith(QLatin1String("57P0"))
        || containsAny(text, {"connection has been lost", "no connection to the server",
                              "server closed the connection unexpectedly", "could not send data to server",
                              "could not receive data from server", "connection dead", "terminating connection",
                              "Broken pipe", "Connection reset by peer", "SSL SYSCALL error"}))
        return Cause::ConnectionLost;
    if (containsAny(text, {"database is locked", "database table is locked"}))
        return Cause::Busy;
    return Cause::Other;
}

bool isConnectionLost(Cause cause) { return cause == Cause::ConnectionLost; }

odbc::Outcome givenUp(WaitEnd end, std::chrono::milliseconds limit)
{
    if (end == WaitEnd::Cancelled)
        return odbc::failure(QLatin1String(cancelledState), QStringLiteral("The wait for the database was cancelled."));
    return odbc::failure(QLatin1String(timedOutState),
                         QStringLiteral("The database did not answer within %1.").arg(secondsText(limit)));
}

QString secondsText(std::chrono::milliseconds limit)
{
    const double seconds = static_cast<double>(limit.count()) / 1000.0;
    return QStringLiteral("%1 s").arg(QString::number(seconds, 'g', 3));
}

QString explanation(Cause cause, std::chrono::milliseconds limit)
{
    switch (cause) {
    case Cause::None:
    case Cause::Other:
        return {};
    case Cause::NoDataSource:
        return QStringLiteral(
            "No ODBC data source named FAQ is set up for your account or this computer. Set up the embedded "
            "database with vetfaq-setup (from a source checkout, ./run does it), or ask whoever looks after the "
            "database server for the data source FAQ.");
    case Cause::DriverMissing:
        return QStringLiteral(
            "The ODBC driver that the data source FAQ names is not installed. Install it (Debian package "
            "libsqliteodbc for the embedded database, odbc-postgresql for a PostgreSQL server) or correct the "
            "data source's Driver line.");
    case Cause::ServerUnreachable:
        return QStringLiteral(
            "The database server cannot be reached: it is not running, or the network or the server's address in "
            "the data source FAQ is wrong. Once it can be reached, the next action connects again by itself.");
    case Cause::ServerFull:
        return QStringLiteral(
            "The database server takes no more connections just now: as many programs are connected as it allows. "
            "Nothing was sent; try again in a moment. If it happens often, ask the server's administrator to raise "
            "its connection limit or to put a connection pooler in front of it (db/provision-postgresql.sh --pooler).");
    case Cause::LoginRefused:
        return QStringLiteral(
            "The database server refused the program's login. Ask the server's administrator to set up the login "
            "mirt with the program's password (db/provision-postgresql.sh does).");
    case Cause::DatabaseMissing:
        return QStringLiteral(
            "The database file of the data source FAQ cannot be opened: it was moved or deleted, or your account may "
            "not read it. Put it back, or point the data source FAQ at the right file; the program never makes an "
            "empty one in its place.");
    case Cause::ReadOnly:
        return QStringLiteral(
            "The database cannot be written: the file or its folder is read-only for your account, or it lies on a "
            "read-only disk. Nothing was changed; ask for write access to the file and its folder.");
    case Cause::DiskFull:
        return QStringLiteral(
            "The disk that holds the database is full, so the change could not be stored. Make room on it and try "
            "again; what you typed is still in the window.");
    case Cause::Busy:
        return QStringLiteral(
            "Another program is writing to the database file and did not finish in time. Try again in a moment.");
    case Cause::NotAnswering:
        return QStringLiteral(
                   "The action was stopped there. The server may be hung or overloaded, or the network may be down; "
                   "try again in a moment. The limit of %1 is set by the environment variable VETFAQ_WAIT_LIMIT or "
                   "the data source's WaitLimit (in seconds).")
            .arg(secondsText(limit));
    case Cause::Cancelled:
        return QStringLiteral("The action was stopped there, as you asked.");
    case Cause::ConnectionLost:
        return QStringLiteral(
            "The connection to the database server was lost. The next action connects again by itself; if the "
            "server is back, just try again.");
    case Cause::FileMoved:
        return QStringLiteral(
            "The database file was moved, replaced or removed while the program was running, so nothing was sent "
            "to it. The next action opens whatever file is now at the data source's place; check that it is the "
            "right one.");
    }
    return {};
}

} // namespace rt
