#include "runtime/odbc.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <odbcinst.h>
#include <utility>

namespace odbc {

QString fromWide(const SQLWCHAR* text, std::size_t length)
{
    // Copied unit for unit: QString::fromUtf16 would drop a leading U+FEFF
    // as a byte order mark, and a stored text must come back as it is.
    return QString(reinterpret_cast<const QChar*>(text), static_cast<qsizetype>(length));
}

namespace {

// A setting of a section of odbc.ini or odbcinst.ini, as the driver manager
// reads it; empty when it has none.
QString iniSetting(const QString& section, const char* key, const char* file)
{
    char value[4096] = {};
    const QByteArray name = section.toUtf8();
    if (section.isEmpty() || SQLGetPrivateProfileString(name.constData(), key, "", value, sizeof value, file) <= 0)
        return {};
    return QString::fromUtf8(value);
}

} // namespace

QString dataSourceSetting(const QString& dataSource, const char* key)
{
    return iniSetting(dataSource, key, "odbc.ini");
}

void prepareDriverLibraries(const QString& dataSource)
{
    setenv("GNUTLS_NO_IMPLICIT_INIT", "1", 0);

    if (!dataSourceSetting(dataSource, "Driver").contains(QLatin1String("sqlite"), Qt::CaseInsensitive))
        return;
    // The library the driver links to; loaded here first, so it is set
    // before the driver's first connection starts it. Left loaded.
    if (void* sqlite = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_GLOBAL)) {
        using Config = int (*)(int, ...);
        constexpr int configMemoryStatistics = 9;  // SQLITE_CONFIG_MEMSTATUS
        if (const auto config = reinterpret_cast<Config>(dlsym(sqlite, "sqlite3_config")))
            config(configMemoryStatistics, 0);
    }
}

namespace {

// The folder the driver manager looks in for a driver named without one:
// odbc/ beside its own library (Debian's /usr/lib/<triplet>/odbc).
QString driverFolder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&SQLAllocHandle), &info) || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() + QLatin1String("/odbc");
}

} // namespace

QString driverLibrary(const QString& dataSource)
{
    QString file = dataSourceSetting(dataSource, "Driver");
    if (!file.isEmpty() && !file.startsWith(QLatin1Char('/'))) {
        const QString driver = file;
        file = iniSetting(driver, "Driver64", "odbcinst.ini");
        if (file.isEmpty())
            file = iniSetting(driver, "Driver", "odbcinst.ini");
    }
    if (file.isEmpty())
        return {};
    if (!file.contains(QLatin1Char('/')))
        file = driverFolder() + QLatin1Char('/') + file;
    return QFileInfo(file).isFile() ? file : QString();
}

QString loadDriverLibrary(const QString& dataSource)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    Q_UNUSED(dataSource);
    return {};
#else
    static std::mutex mutex;
    static bool tried = false;
    const std::lock_guard lock(mutex);
    if (std::exchange(tried, true))
        return {};
    const QString file = driverLibrary(dataSource);
    if (!QFileInfo(file).fileName().startsWith(QLatin1String("psqlodbc")))
        return {};
    // Left loaded: the driver manager's own load of it is then a count.
    if (!dlopen(QFile::encodeName(file).constData(), RTLD_LAZY | RTLD_LOCAL | RTLD_DEEPBIND))
        return {};
    return file;
#endif
}

std::u16string toWide(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

namespace {

SQLWCHAR* wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    std::vector<Diagnostic> records;
    if (!handle)
        return records;
    // A buffer that is large from the start: psqlODBC cuts a message into
    // records of the buffer's length, and a buffer of exactly the announced
    // length plus one gives a last record without text.
    std::vector<SQLWCHAR> message(4096);
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            break;
        if (static_cast<std::size_t>(length) >= message.size() && message.size() < 32000) {
            message.resize(std::min<std::size_t>(static_cast<std::size_t>(length) * 2 + 2, 32000));
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
            if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
                break;
        }
        records.push_back({fromWide(state, 5), native,
                           fromWide(message.data(), std::min<std::size_t>(length, message.size() - 1))});
    }
    return records;
}

} // namespace

QString Outcome::errorText() const
{
    QStringList parts;
    // psqlODBC adds records without a message (a bare "SQLSTATE = P0001"
    // after a raised exception): they say nothing to a person.
    for (const auto& d : diagnostics)
        if (!d.message.trimmed().isEmpty())
            parts << QStringLiteral("SQLSTATE = %1\n%2").arg(d.sqlstate, d.message);
    if (parts.isEmpty() && !diagnostics.empty())
        parts << QStringLiteral("SQLSTATE = %1").arg(diagnostics.front().sqlstate);
    return parts.join(u'\n');
}

QString Outcome::sqlstate() const
{
    return diagnostics.empty() ? QString() : diagnostics.front().sqlstate;
}

Outcome check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle)
{
    Outcome outcome;
    switch (rc) {
    case SQL_SUCCESS:
        return outcome;
    case SQL_SUCCESS_WITH_INFO:
        // Warnings (a truncated message, a changed option) are not failures,
        // but the caller may still want to read them.
        outcome.diagnostics = readDiagnostics(handleType, handle);
        return outcome;
    case SQL_NO_DATA:
        outcome.status = 100;
        return outcome;
    case SQL_INVALID_HANDLE:
        return failure(QStringLiteral("HY000"), QStringLiteral("Invalid ODBC handle."));
    default:
        outcome.status = -1;
        outcome.diagnostics = readDiagnostics(handleType, handle);
        if (outcome.diagnostics.empty())
            outcome.diagnostics.push_back({QStringLiteral("HY000"), 0,
                                           QStringLiteral("The ODBC driver reported an error without a message.")});
        return outcome;
    }
}

Outcome failure(const QString& sqlstate, const QString& message)
{
    Outcome outcome;
    outcome.status = -1;
    outcome.diagnostics.push_back({sqlstate, 0, message});
    return outcome;
}

Outcome failedWith(Outcome outcome, const QString& message)
{
    outcome.status = -1;
    if (outcome.diagnostics.empty())
        outcome.diagnostics.push_back({QStringLiteral("HY000"), 0, message});
    return outcome;
}

Outcome fetchInBlocks(Statement& s, SQLULEN rows, SQLULEN* fetched, SQLUSMALLINT* rowStatus)
{
    for (auto [attribute, value] : {std::pair<SQLINTEGER, SQLULEN>{SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN},
                                    {SQL_ATTR_ROW_ARRAY_SIZE, rows},
                                    {SQL_ATTR_ROWS_FETCHED_PTR, reinterpret_cast<SQLULEN>(fetched)},
                                    {SQL_ATTR_ROW_STATUS_PTR, reinterpret_cast<SQLULEN>(rowStatus)}}) {
        const Outcome outcome = s.setAttribute(attribute, value);
        if (outcome.status < 0)
            return outcome;
    }
    return {};
}

BoundTexts::BoundTexts(std::size_t rows, std::size_t bytes, bool utf8)
    : utf8_(utf8), stride_(bytes + sizeof(SQLWCHAR)), bytes_(new char[rows * stride_]), indicators_(new SQLLEN[rows])
{
}

Outcome BoundTexts::bind(Statement& s, SQLUSMALLINT column)
{
    return s.checked(SQLBindCol(s.get(), column, utf8_ ? SQL_C_BINARY : SQL_C_WCHAR, bytes_.get(),
                                static_cast<SQLLEN>(stride_), indicators_.get()));
}

bool BoundTexts::truncated(std::size_t row) const
{
    const SQLLEN n = indicators_[row];
    // UTF-16 ends in a terminator; binary data has none.
    return n == SQL_NO_TOTAL || n > static_cast<SQLLEN>(utf8_ ? stride_ : stride_ - sizeof(SQLWCHAR));
}

bool handsOverUtf8(const Connection& connection)
{
    const QString driver = connection.info(SQL_DRIVER_NAME);
    return driver.startsWith(QLatin1String("sqlite3odbc")) || driver.startsWith(QLatin1String("psqlodbcw"));
}

bool canReadInsideBlock(const Connection& connection)
{
    SQLUSMALLINT setPos = SQL_FALSE;
    SQLUINTEGER extensions = 0;
    const SQLHDBC dbc = connection.dbc();
    if (!SQL_SUCCEEDED(SQLGetFunctions(dbc, SQL_API_SQLSETPOS, &setPos))
        || !SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
        return false;
    const SQLUINTEGER needed = SQL_GD_BLOCK | SQL_GD_BOUND;
    return setPos == SQL_TRUE && (extensions & needed) == needed;
}

void HandleDeleter::operator()(void* handle) const noexcept
{
    if (handle)
        SQLFreeHandle(type, handle);
}

// ---- Connection -----------------------------------------------------------

Connection& Connection::operator=(Connection&& other) noexcept
{
    if (this != &other) {
        close();
        dbc_ = std::move(other.dbc_);
        env_ = std::move(other.env_);
        connected_ = std::exchange(other.connected_, false);
        timeoutSeconds_ = other.timeoutSeconds_;
    }
    return *this;
}

Connection::~Connection() { close(); }

Outcome Connection::open(const QString& connectString, bool autoCommit, SQLULEN timeoutSeconds)
{
    close();
    timeoutSeconds_ = timeoutSeconds;
    SQLHANDLE env = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return failure(QStringLiteral("HY001"), QStringLiteral("Cannot allocate an ODBC environment."));
    env_.reset(env);
    Outcome outcome = check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                            SQL_HANDLE_ENV, env);
    if (outcome.status < 0)
        return outcome;

    SQLHANDLE dbc = nullptr;
    outcome = check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env);
    if (outcome.status < 0)
        return outcome;
    dbc_.reset(dbc);

    outcome = check(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(autoCommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                       SQL_IS_UINTEGER),
                    SQL_HANDLE_DBC, dbc);
    if (outcome.status < 0)
        return outcome;
    if (timeoutSeconds > 0)  // not every driver knows it; a refusal changes nothing
        SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeoutSeconds), SQL_IS_UINTEGER);

    std::u16string text = toWide(connectString);
    SQLSMALLINT outLength = 0;
    outcome = check(SQLDriverConnectW(dbc, nullptr, wide(text), static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                                      &outLength, SQL_DRIVER_NOPROMPT),
                    SQL_HANDLE_DBC, dbc);
    if (outcome.status == 100)  // no data from a connect means it did not happen
        outcome = failure(QStringLiteral("08001"), QStringLiteral("The connection could not be made."));
    connected_ = outcome.status == 0;
    return outcome;
}

Outcome Connection::endTransaction(SQLSMALLINT completion)
{
    if (!connected_)
        return failure(QStringLiteral("08003"), QStringLiteral("Not connected to the database."));
    return check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), completion), SQL_HANDLE_DBC, dbc_.get());
}

bool Connection::isDead() const
{
    if (!dbc_)
        return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

QString Connection::info(SQLUSMALLINT type) const
{
    if (!connected_)
        return {};
    SQLWCHAR text[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_.get(), type, text, sizeof text, &length)))
        return {};
    const auto units = std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), std::size(text) - 1);
    return fromWide(text, units);
}

Outcome Connection::commit() { return endTransaction(SQL_COMMIT); }
Outcome Connection::rollback() { return endTransaction(SQL_ROLLBACK); }

void Connection::close() noexcept
{
    if (connected_) {
        // Never commit on the way out: whatever is still open is dropped.
        SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
        if (!SQL_SUCCEEDED(SQLDisconnect(dbc_.get()))) {
            // The SQLite driver refuses to disconnect (25000) after a failed
            // COMMIT: SQLite ended the transaction itself, the driver still
            // thinks one is open and no rollback reaches it. A BEGIN gives it
            // one to roll back.
            SQLHANDLE stmt = nullptr;
            if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &stmt))) {
                std::u16string begin = u"BEGIN";
                SQLExecDirectW(stmt, wide(begin), SQL_NTS);
                SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            }
            SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
            SQLDisconnect(dbc_.get());
        }
        connected_ = false;
    }
    dbc_.reset();
    env_.reset();
}

std::optional<Statement> Connection::statement(Outcome& outcome)
{
    if (!connected_) {
        outcome = failure(QStringLiteral("08003"), QStringLiteral("Not connected to the database."));
        return std::nullopt;
    }
    SQLHANDLE stmt = nullptr;
    outcome = check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &stmt), SQL_HANDLE_DBC, dbc_.get());
    if (outcome.status < 0)
        return std::nullopt;
    if (timeoutSeconds_ > 0)  // a driver without query timeouts says so and runs on
        SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeoutSeconds_), 0);
    return Statement(Handle(stmt, {SQL_HANDLE_STMT}));
}

// ---- Statement ------------------------------------------------------------

Outcome Statement::prepare(const QString& sql)
{
    std::u16string text = toWide(sql);
    return checked(SQLPrepareW(get(), wide(text), static_cast<SQLINTEGER>(text.size())));
}

Outcome Statement::bind(const std::vector<Param>& params)
{
    textBuffers_.assign(params.size(), {});
    integerBuffers_.assign(params.size(), 0);
    wideBuffers_.assign(params.size(), 0);
    indicators_.assign(params.size(), 0);
    for (std::size_t i = 0; i < params.size(); ++i) {
        const Param& p = params[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc;
        if (p.kind == Param::Kind::Integer) {
            integerBuffers_[i] = p.integer.value_or(0);
            indicators_[i] = p.integer ? 0 : SQL_NULL_DATA;
            rc = SQLBindParameter(get(), number, SQL_PARAM_INPUT, SQL_C_SSHORT, SQL_SMALLINT, 0, 0,
                                  &integerBuffers_[i], 0, &indicators_[i]);
        } else if (p.kind == Param::Kind::WideInteger) {
            wideBuffers_[i] = p.wide;
            rc = SQLBindParameter(get(), number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &wideBuffers_[i], 0,
                                  &indicators_[i]);
        } else {
            if (p.text)
                textBuffers_[i] = toWide(*p.text);
            const auto units = textBuffers_[i].size();
            indicators_[i] = p.text ? static_cast<SQLLEN>(units * sizeof(char16_t)) : SQL_NULL_DATA;
            // Long texts go as long data so drivers do not cut them to a
            // default column size.
            const SQLSMALLINT sqlType = units > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            rc = SQLBindParameter(get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, sqlType,
                                  std::max<SQLULEN>(units, 1), 0, textBuffers_[i].data(),
                                  static_cast<SQLLEN>(units * sizeof(char16_t)), &indicators_[i]);
        }
        Outcome outcome = checked(rc);
        if (outcome.status < 0)
            return outcome;
    }
    return {};
}

Outcome Statement::execute() { return checked(SQLExecute(get())); }

Outcome Statement::executeDirect(const QString& sql)
{
    std::u16string text = toWide(sql);
    return checked(SQLExecDirectW(get(), wide(text), static_cast<SQLINTEGER>(text.size())));
}

Outcome Statement::fetch() { return checked(SQLFetch(get())); }

Outcome Statement::closeCursor() { return checked(SQLFreeStmt(get(), SQL_CLOSE)); }

Outcome Statement::setAttribute(SQLINTEGER attribute, SQLULEN value)
{
    return checked(SQLSetStmtAttrW(get(), attribute, reinterpret_cast<SQLPOINTER>(value), 0));
}

Outcome Statement::getText(SQLUSMALLINT column, std::optional<QString>& out)
{
    QString value = QStringLiteral("");  // empty, not null
    // A first small read; when the driver says how much is left, the rest
    // comes in one more read. Reading a long text in many small parts costs
    // time that grows with its square on drivers that convert all of what is
    // left at every call (the SQLite driver does).
    std::vector<SQLWCHAR> buffer(2048);
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(get(), column, SQL_C_WCHAR, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size() * sizeof(SQLWCHAR)), &indicator);
        if (rc == SQL_NO_DATA)
            break;  // every part has been read
        Outcome outcome = checked(rc);
        if (outcome.status < 0)
            return outcome;
        if (indicator == SQL_NULL_DATA) {
            out.reset();
            return {};
        }
        const std::size_t capacity = buffer.size() - 1;  // one unit for the terminator
        const bool known = indicator != SQL_NO_TOTAL;
        const std::size_t left = known ? static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) : 0;
        const std::size_t units = (!known || left > capacity) ? capacity : left;
        value += fromWide(buffer.data(), units);
        // SQL_SUCCESS means this was the last part; with info (01004) more follows.
        if (rc == SQL_SUCCESS || outcome.sqlstate() != QLatin1String("01004"))
            break;
        if (known && left > units)
            buffer.resize(left - units + 1);
    }
    out = value;
    return {};
}

namespace {
// One whole-number cell of the current row into a C type of the driver's.
template <class Value, SQLSMALLINT cType, class Out>
Outcome readNumber(const Statement& statement, SQLUSMALLINT column, Out& out)
{
    Value value = 0;
    SQLLEN indicator = 0;
    Outcome outcome = statement.checked(SQLGetData(statement.get(), column, cType, &value, sizeof value, &indicator));
    if (outcome.status < 0)
        return outcome;
    if (indicator == SQL_NULL_DATA)
        out.reset();
    else
        out = value;
    return {};
}
} // namespace

Outcome Statement::getInteger(SQLUSMALLINT column, std::optional<qint16>& out)
{
    return readNumber<SQLSMALLINT, SQL_C_SSHORT>(*this, column, out);
}

Outcome Statement::getWide(SQLUSMALLINT column, std::optional<qint64>& out)
{
    return readNumber<SQLBIGINT, SQL_C_SBIGINT>(*this, column, out);
}

} // namespace odbc
