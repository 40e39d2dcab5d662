#pragma once
// The transaction object: one database connection with its settings and the
// outcome of its last statement, as the scripts see it.

#include "runtime/odbc.h"

#include <QString>

#include <initializer_list>
#include <optional>
#include <variant>
#include <vector>

namespace rt {

using Int = std::optional<qint16>;
using Text = std::optional<QString>;

// An input value bound to a parameter marker, in the order of the markers.
using Param = odbc::Param;
inline Param bind(Int v) { return Param::of(v); }
inline Param bind(qint16 v) { return Param::of(Int(v)); }
inline Param bind(Text v) { return Param::of(std::move(v)); }
inline Param bind(const QString& v) { return Param::of(Text(v)); }

// A receiving variable of a select; set to null when the database delivers null.
using Into = std::variant<Int*, Text*>;

// The settings a connection is made from; the grid takes a copy of them.
struct ConnectionSettings {
    QString dbms;
    bool autoCommit = false;
    QString dbParm;

    // The ODBC connection string between the single quotes after
    // ConnectString=, or an empty text when there is none.
    QString connectString() const;
    // Connects through ODBC with these settings.
    odbc::Outcome open(odbc::Connection& connection) const;
};

class Transaction {
public:
    Transaction() = default;
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

    ConnectionSettings settings() const { return {DBMS, AutoCommit, DBParm}; }

    // Connects with the settings as they are now. A connection that is lost
    // later (or never came about) is made again with the same settings
    // before the next statement.
    void connect();
    bool isConnected() const { return connection_.isOpen() && !broken_; }

    // A statement that delivers no rows (update, insert, delete).
    void execute(const QString& sql, std::vector<Param> params = {});
    // A select that delivers one row into the receiving variables; 100 when
    // it finds no row. The variables keep their values on failure or no row.
    // A select outside any change ends its own read transaction, so the next
    // one sees what others committed meanwhile and no lock is held between
    // user actions.
    void selectInto(const QString& sql, std::vector<Param> params, std::vector<Into> into);
    void commit();
    void rollback();

    // Used by the dynamic cursor.
    std::optional<odbc::Statement> newStatement();
    void record(const odbc::Outcome& outcome);
    // Ends the transaction a finished read opened, unless it holds changes.
    void endReadOnlyTransaction();
    template <class Attempt>
    void withOneRetry(Attempt attempt);

private:
    odbc::Outcome open(const ConnectionSettings& settings);
    bool reconnectIfLost();
    void executeOnce(const QString& sql, const std::vector<Param>& params);
    void selectIntoOnce(const QString& sql, const std::vector<Param>& params, const std::vector<Into>& into);

    odbc::Connection connection_;
    // The settings of the last connect; none before the first.
    std::optional<ConnectionSettings> connectedWith_;
    // The driver reported the connection lost.
    bool broken_ = false;
    // A change was sent since the last commit or rollback.
    bool holdsChanges_ = false;
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
    bool isOpen() const { return statement_.has_value(); }

private:
    DynamicStagingArea& area_;
    std::optional<odbc::Statement> statement_;
};

} // namespace rt
