#pragma once
// Thin RAII layer over the unixODBC C API. Every ODBC call in the program
// goes through the handles here, and every return code through check().

#include <QString>
#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <optional>
#include <vector>

namespace odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR must be UTF-16");

// One diagnostic record of a handle.
struct Diagnostic {
    QString sqlstate;
    SQLINTEGER native = 0;
    QString message;
};

// What one call left behind: our status (0, 100 or negative) and every
// diagnostic record the driver wrote for it.
struct Outcome {
    long status = 0;
    std::vector<Diagnostic> diagnostics;
    // After a failure the driver said the connection itself is gone.
    bool connectionDead = false;

    bool ok() const { return status == 0; }
    // "SQLSTATE = 08001\n<message>" for each record that has a message,
    // records joined by a line break.
    QString errorText() const;
    // The SQLSTATE of the first record, or an empty text.
    QString sqlstate() const;
};

// Maps an ODBC return code to our status and reads all diagnostic records.
Outcome check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle);

// A status that did not come from a driver (no handle, not connected, ...).
Outcome failure(const QString& sqlstate, const QString& message);
// A failure, keeping whatever the driver said on a call that itself succeeded.
Outcome failedWith(Outcome outcome, const QString& message);

QString fromWide(const SQLWCHAR* text, std::size_t length);

// A setting of the data source as the driver manager reads it (the user's
// odbc.ini, then the system's); empty when it has none.
QString dataSourceSetting(const QString& dataSource, const char* key);

// Process-wide settings of the libraries a driver brings, made first in
// main(), before any thread starts and any driver is loaded:
// - PostgreSQL's client library pulls in GnuTLS (through LDAP), which would
//   set itself up as it is loaded, reading its configuration and the
//   system's PKCS#11 modules (0.7 MiB), for a TLS that only an LDAP look-up
//   of the server uses; LDAP sets it up itself when it does. A setting
//   already in the environment is left as it is.
// - SQLite counts every allocation under one lock for the whole process,
//   statistics nobody here reads; two connections reading at once (see the
//   grid's reads) would take turns at that lock for every row. Switched off
//   where the data source's driver is SQLite's.
void prepareDriverLibraries(const QString& dataSource);

// The file of the data source's driver, found as the driver manager finds
// it: the data source's Driver is the file, or names a driver whose Driver64
// or Driver in odbcinst.ini is; a bare file name lies in the driver
// manager's folder of drivers. Empty where any of it is missing.
QString driverLibrary(const QString& dataSource);

// psqlODBC brings 23 libraries (libpq, OpenSSL, Kerberos, LDAP, GnuTLS),
// most of them bound in full as they load. Loaded by the driver manager,
// each of their 11 000 symbols is looked for first in all of the program's
// own libraries, Qt's and the 40 they need, and only then among their own:
// the larger part of a log-in's processor time at start, taken from the
// window's. Where the data source's driver is psqlODBC, this loads it first
// with its own libraries searched first; the driver manager then finds it
// loaded. Returns the file so loaded, or an empty text where nothing was
// (another driver; a build with the address sanitizer, which refuses such a
// load). Loaded once a process, on the thread that calls it.
QString loadDriverLibrary(const QString& dataSource);
std::u16string toWide(const QString& text);

struct HandleDeleter {
    SQLSMALLINT type;
    void operator()(void* handle) const noexcept;
};
using Handle = std::unique_ptr<void, HandleDeleter>;

// A bound input value: a 16-bit integer or a text, each possibly null.
struct Param {
    enum class Kind { Integer, Text, WideInteger } kind;
    std::optional<qint16> integer;
    std::optional<QString> text;
    qint64 wide = 0;  // a 64-bit number of the program's own, never null

    static Param of(std::optional<qint16> v) { return {Kind::Integer, v, std::nullopt}; }
    static Param of(std::optional<QString> v) { return {Kind::Text, std::nullopt, std::move(v)}; }
    static Param ofWide(qint64 v) { return {Kind::WideInteger, std::nullopt, std::nullopt, v}; }
};

class Statement;
class Connection;

// Whether a cell of a fetched block can be read again with SQLSetPos and
// SQLGetData. The SQLite driver says no (no SQL_GD_BLOCK), and rightly: its
// SQLSetPos steps the cursor on instead of positioning inside the block.
bool canReadInsideBlock(const Connection& connection);

// Drivers that hand a text over as the UTF-8 the database holds when asked
// for binary data, which spares converting every text to UTF-16 in the
// driver: the SQLite driver (SQLite's texts are UTF-8) and psqlODBC's
// Unicode driver (its client encoding is UTF-8). psqlODBC's ANSI driver
// would hand over the client's encoding instead.
bool handsOverUtf8(const Connection& connection);

// An environment and one connection on it. Move-only; the destructor rolls
// back whatever is still open and disconnects.
class Connection {
public:
    Connection() = default;
    Connection(Connection&&) noexcept = default;
    Connection& operator=(Connection&&) noexcept;
    ~Connection();

    // Allocates the handles, switches automatic commit as asked (before the
    // connect, so no statement ever runs in the wrong mode) and connects.
    // A timeout above 0 bounds the log-in and every statement's run, in
    // whole seconds, where the driver supports it.
    Outcome open(const QString& connectString, bool autoCommit, SQLULEN timeoutSeconds = 0);
    bool isOpen() const { return connected_; }
    // Whether the driver says the connection is gone (SQL_ATTR_CONNECTION_DEAD).
    bool isDead() const;
    // A text the driver tells about the connection (SQLGetInfo), empty when it says nothing.
    QString info(SQLUSMALLINT type) const;

    Outcome commit();
    Outcome rollback();
    // Rolls back and disconnects; safe to call twice.
    void close() noexcept;

    // A fresh statement handle on this connection.
    std::optional<Statement> statement(Outcome& outcome);

    SQLHDBC dbc() const { return dbc_.get(); }

private:
    Outcome endTransaction(SQLSMALLINT completion);

    Handle env_{nullptr, {SQL_HANDLE_ENV}};
    Handle dbc_{nullptr, {SQL_HANDLE_DBC}};
    bool connected_ = false;
    SQLULEN timeoutSeconds_ = 0;
};

// One statement handle with its bound parameters kept alive until the next
// execution.
class Statement {
public:
    explicit Statement(Handle handle) : stmt_(std::move(handle)) {}
    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;

    Outcome prepare(const QString& sql);
    Outcome bind(const std::vector<Param>& params);
    Outcome execute();
    Outcome executeDirect(const QString& sql);
    Outcome fetch();
    Outcome closeCursor();
    Outcome setAttribute(SQLINTEGER attribute, SQLULEN value);

    // Reads column `column` (1-based) of the current row with SQLGetData;
    // long texts are read in chunks. Null gives std::nullopt.
    Outcome getText(SQLUSMALLINT column, std::optional<QString>& out);
    Outcome getInteger(SQLUSMALLINT column, std::optional<qint16>& out);
    Outcome getWide(SQLUSMALLINT column, std::optional<qint64>& out);

    SQLHSTMT get() const { return stmt_.get(); }
    Outcome checked(SQLRETURN rc) const { return check(rc, SQL_HANDLE_STMT, stmt_.get()); }

private:
    Handle stmt_;
    // Parameter buffers must stay put while the statement may read them.
    std::vector<std::u16string> textBuffers_;
    std::vector<SQLSMALLINT> integerBuffers_;
    std::vector<SQLBIGINT> wideBuffers_;
    std::vector<SQLLEN> indicators_;
};

// Asks the statement to fetch `rows` rows at a time into column-wise bound
// buffers, telling how many it fetched and each row's status. A driver that
// cannot fetch blocks answers 01S02 and fetches fewer rows; `fetched` covers
// that.
Outcome fetchInBlocks(Statement& s, SQLULEN rows, SQLULEN* fetched, SQLUSMALLINT* rowStatus);

// Column-wise buffers of one text column for a whole block of rows: the
// UTF-8 the database holds, bound as binary data (see handsOverUtf8), or
// UTF-16. Left uninitialised: only what the driver writes is ever read, so
// the pages of generous buffers are touched only as far as texts reach.
class BoundTexts {
public:
    // Room for `bytes` bytes of text a row.
    BoundTexts(std::size_t rows, std::size_t bytes, bool utf8);

    Outcome bind(Statement& s, SQLUSMALLINT column);
    bool utf8() const { return utf8_; }
    bool isNull(std::size_t row) const { return indicators_[row] == SQL_NULL_DATA; }
    // Longer than the buffer: to be read again in full.
    bool truncated(std::size_t row) const;
    // The row's text as fetched, neither null nor truncated.
    const char* at(std::size_t row) const { return bytes_.get() + row * stride_; }
    std::size_t bytesOf(std::size_t row) const { return static_cast<std::size_t>(indicators_[row]); }

private:
    bool utf8_;
    std::size_t stride_;
    std::unique_ptr<char[]> bytes_;
    std::unique_ptr<SQLLEN[]> indicators_;
};

// Lets a statement outlive the buffers bound to it: the driver forgets them.
class Unbinding {
public:
    explicit Unbinding(Statement& s) : s_(s) {}
    ~Unbinding()
    {
        SQLFreeStmt(s_.get(), SQL_UNBIND);
        s_.setAttribute(SQL_ATTR_ROWS_FETCHED_PTR, 0);
        s_.setAttribute(SQL_ATTR_ROW_STATUS_PTR, 0);
    }
    Unbinding(const Unbinding&) = delete;
    Unbinding& operator=(const Unbinding&) = delete;

private:
    Statement& s_;
};

} // namespace odbc
