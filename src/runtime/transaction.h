#pragma once
// The transaction object: one database connection with its settings and the
// outcome of its last statement, as the scripts see it.
//
// Every driver call runs on the connection's worker thread while the windows
// keep painting (runtime/waiting.h); a call that runs past the wait limit, or
// whose wait the user cancels, fails with its cause and the connection is
// made anew before the next statement.

#include "runtime/failure_cause.h"
#include "runtime/odbc.h"

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace rt {

class Worker;

using Int = std::optional<qint16>;
using Text = std::optional<QString>;
// A whole number wider than an entry number, for values a table may hold
// beyond 16 bits.
using Wide = std::optional<qint64>;

// An input value bound to a parameter marker, in the order of the markers.
using Param = odbc::Param;
inline Param bind(Int v) { return Param::of(v); }
inline Param bind(qint16 v) { return Param::of(Int(v)); }
inline Param bind(Text v) { return Param::of(std::move(v)); }
inline Param bind(const QString& v) { return Param::of(Text(v)); }

// A receiving variable of a select; set to null when the database delivers null.
using Into = std::variant<Int*, Text*, Wide*>;

// The kind of database behind a connection, where a statement must be
// worded differently for it.
enum class Product { Other, SQLite, PostgreSQL };
// The product behind an open connection, by the name its driver gives it.
Product productOf(const odbc::Connection& connection);

// How long one database call may take when nothing else is set.
inline constexpr std::chrono::milliseconds defaultWaitLimit{15000};

// The wait limit for a data source: the environment variable
// VETFAQ_WAIT_LIMIT, else the data source's WaitLimit, else 15 s; both in
// seconds, fractions allowed.
std::chrono::milliseconds waitLimitFor(const QString& dataSource);

// The identity of a file, to notice one replaced or removed under its name.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Of the file at path now; none when there is none.
std::optional<FileIdentity> identify(const QString& path);

// The settings a connection is made from; the grid takes a copy of them.
struct ConnectionSettings {
    QString dbms;
    bool autoCommit = false;
    QString dbParm;
    std::chrono::milliseconds waitLimit = defaultWaitLimit;
    bool operator==(const ConnectionSettings&) const = default;

    // The ODBC connection string between the single quotes after
    // ConnectString=, or an empty text when there is none.
    QString connectString() const;
    // The DSN= part of the connection string, or an empty text.
    QString dataSourceName() const;
    // Connects through ODBC with these settings. Runs on the calling thread.
    odbc::Outcome open(odbc::Connection& connection) const;
    // The Database setting of the data source (an SQLite file), or an empty text.
    QString databaseFile() const;
};

// Where an SQLite database file would not open, adds what a look at the file
// finds (missing, unreadable, read-only) to the failure's records.
void addFileFindings(odbc::Outcome& outcome, const QString& file);

class Transaction {
public:
    Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    // Rolls back whatever is still open and disconnects; never commits.
    ~Transaction();

    // Settings, set by the scripts before connect.
    QString DBMS;
    bool AutoCommit = false;
    QString DBParm;

    // Outcome of the last statement.
    long SQLCode = 0;
    long SQLDBCode = 0;
    QString SQLErrText;
    QString SQLState;

    // Why the last statement failed, beyond the driver's words.
    Cause cause() const { return cause_; }
    // The cause in words and what to do, for a failure box; empty when the
    // database's own text says all.
    QString explanation() const { return rt::explanation(cause_, limit_); }
    // Whether a change that failed may have been stored all the same: the
    // connection broke or the wait was given up while it was on its way.
    bool outcomeUnknown() const
    {
        return cause_ == Cause::NotAnswering || cause_ == Cause::Cancelled || cause_ == Cause::ConnectionLost;
    }
    std::chrono::milliseconds waitLimit() const { return limit_; }
    Product product();

    ConnectionSettings settings() const { return {DBMS, AutoCommit, DBParm, limit_}; }

    // Connects with the settings as they are now. A connection that is lost
    // later (or never came about) is made again with the same settings
    // before the next statement.
    //
    void connect();
    // The same, but returns at once: the connection is made on the worker
    // while the caller goes on (builds its window). Its outcome reaches
    // SQLCode and the rest at settle(), which every statement,
    // isConnected() and product() call first.
    void connectMeanwhile();
    // Waits for a connect still under way, as any call waits, and records its outcome.
    void settle();
    // Begins a connection with these settings on a worker of its own before
    // any transaction object exists (as the program starts, while it reaches
    // the display); the next connect with the same settings takes it over
    // instead of beginning its own. A second call replaces the first.
    static void connectAhead(ConnectionSettings settings);
    // Lets a connection begun ahead and not taken over go.
    static void dropConnectAhead() noexcept;
    bool isConnected();

    // A statement that delivers no rows (update, insert, delete).
    void execute(const QString& sql, std::vector<Param> params = {});
    // A select that delivers one row into the receiving variables; 100 when
    // it finds no row. The variables keep their values on failure or no row.
    // A select outside any change ends its own read transaction, so the next
    // one sees what others committed meanwhile and no lock is held between
    // user actions.
    void selectInto(const QString& sql, std::vector<Param> params, std::vector<Into> into);
    // A select of a row that a change is about to write, inside that
    // change's transaction: the transaction stays open, so what it read
    // cannot change unseen before the commit (a row lock where the text asks
    // for one; on SQLite a later write fails if another got in between).
    void selectForChange(const QString& sql, std::vector<Param> params, std::vector<Into> into);
    void commit();
    void rollback();

    // The one cursor of the dynamic statement, kept with the connection.
    void openCursor(const QString& sql);
    // Status 0 and the row's columns in order, or 100 and the variables untouched.
    void fetchCursor(const std::vector<Into>& into);
    void closeCursor();
    // Lets an open cursor go without a word and ends its read.
    void dropCursor() noexcept;

    struct Session;
    struct Opening;

private:
    using Operation = std::function<odbc::Outcome(Session&)>;

    // Runs op on the worker and waits; gives the connection up when the wait does.
    odbc::Outcome run(Operation op);
    // A connection to run the next statement on, made again when lost; false
    // (with the outcome recorded) when there is none.
    bool ensureSession();
    odbc::Outcome openSession(const ConnectionSettings& settings);
    // A new session whose connection the worker makes (or the one begun
    // ahead with these settings); its outcome once made.
    std::shared_ptr<odbc::Outcome> startSession(const ConnectionSettings& settings);
    // The outcome of that opening once the worker has made it, or why the wait ended.
    odbc::Outcome waitForOpening(const std::shared_ptr<odbc::Outcome>& opening);
    // Hands the session to its worker to close and lets the worker go.
    void letGoOfSession() noexcept;
    // The same, waiting up to `bound` for the close.
    void letGoOfSessionWithin(std::chrono::milliseconds bound) noexcept;
    // False when the SQLite database file is no longer the one the connection opened.
    bool fileStillThere() const;
    void record(const odbc::Outcome& outcome);
    template <class Attempt>
    void withOneRetry(Attempt attempt);
    void select(const QString& sql, const std::vector<Param>& params, const std::vector<Into>& into, bool forChange);

    std::shared_ptr<Session> session_;
    std::unique_ptr<Worker> worker_;
    // The settings of the last connect; none before the first.
    std::optional<ConnectionSettings> connectedWith_;
    // The outcome of a connect not yet settled.
    std::shared_ptr<odbc::Outcome> pendingConnect_;
    std::chrono::milliseconds limit_ = defaultWaitLimit;
    Cause cause_ = Cause::None;
    // The connection is of no more use: lost, given up on, or its file moved.
    bool broken_ = false;
    // A change was sent since the last commit or rollback.
    bool holdsChanges_ = false;
    // The dynamic cursor is open on the current session.
    bool cursorOpen_ = false;
};

// The staging area of the one dynamic statement: the text and the
// transaction it was prepared on. The text reaches the database at open.
class DynamicStagingArea {
public:
    void prepare(const QString& sql, Transaction& transaction);
    const QString& sql() const { return sql_; }
    Transaction* transaction() const { return transaction_; }

private:
    QString sql_;
    Transaction* transaction_ = nullptr;
};

class DynamicDescriptionArea {};

// A cursor declared over a staging area; its outcomes land in the staging
// area's transaction.
class DynamicCursor {
public:
    explicit DynamicCursor(DynamicStagingArea& area) : area_(area) {}
    // A cursor left open (after a failed fetch) still ends its read.
    ~DynamicCursor();
    DynamicCursor(const DynamicCursor&) = delete;
    DynamicCursor& operator=(const DynamicCursor&) = delete;
    void open();
    // Status 0 and the row's columns in order, or 100 and the variables untouched.
    void fetch(std::vector<Into> into);
    void close();
    bool isOpen() const { return open_; }

private:
    DynamicStagingArea& area_;
    bool open_ = false;
};

} // namespace rt
