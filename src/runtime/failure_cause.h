#pragma once
// Why a database call failed, told apart from the driver's words, and said
// plainly with what to do about it. The drivers word the same cause in many
// ways (psqlODBC reports a dropped connection as HY000 "The connection has
// been lost"), so the SQLSTATE alone does not do.

#include "runtime/odbc.h"
#include "runtime/waiting.h"

#include <QString>

#include <chrono>

namespace rt {

enum class Cause {
    None,
    NoDataSource,       // no data source FAQ is set up
    DriverMissing,      // the data source names a driver that is not installed
    ServerUnreachable,  // nothing answers at the server's address
    ServerFull,         // the server (or its pooler) takes no more connections
    LoginRefused,       // wrong user or password
    DatabaseMissing,    // the SQLite database file is not there
    ReadOnly,           // the database cannot be written
    DiskFull,
    Busy,               // another program holds the database's write lock
    NotAnswering,       // our wait limit ran out
    Cancelled,          // the user cancelled the wait
    ConnectionLost,     // the connection broke (server restarted, network down)
    FileMoved,          // the SQLite file was replaced or removed under us
    Other,
};

// SQLSTATEs of our own failures, in the ODBC standard's sense.
inline constexpr auto timedOutState = "HYT00";
inline constexpr auto cancelledState = "HY008";
// Not a standard state: the SQLite database file moved while we had it open.
inline constexpr auto fileMovedState = "VF001";

Cause causeOf(const odbc::Outcome& outcome);
Cause causeOf(const QString& sqlstate, const QString& errorText, bool connectionDead = false);

// The failure of a wait given up on: past the limit, or cancelled.
odbc::Outcome givenUp(WaitEnd end, std::chrono::milliseconds limit);

// A connection that is of no more use: it must be made again.
bool isConnectionLost(Cause cause);

// The cause in plain words and what to do, for the informative text of a
// failure box; empty for None and Other. limit is the wait limit in force.
QString explanation(Cause cause, std::chrono::milliseconds limit);

// "15 s", "2.5 s": a wait limit as a person reads it.
QString secondsText(std::chrono::milliseconds limit);

} // namespace rt
