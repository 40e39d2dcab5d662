#include "support/throwaway_data_source.h"

#include <QFile>
#include <QStringDecoder>
#include <QUuid>

#include <sqlite3.h>
#ifdef VETFAQ_WITH_POSTGRESQL
#include <libpq-fe.h>
#endif

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Stored UTF-8 as it is: QString::fromUtf8 would drop a leading U+FEFF.
QString exactly(const char* utf8)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(utf8));
}


QString driverFile(const char* name)
{
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc/", "/usr/lib/aarch64-linux-gnu/odbc/", "/usr/lib/odbc/"})
        if (const QString path = QLatin1String(dir) + QLatin1String(name); QFile::exists(path))
            return path;
    return QString();
}

QString sqliteDriver()
{
    const QString path = driverFile("libsqlite3odbc.so");
    if (path.isEmpty())
        throw std::runtime_error("the SQLite3 ODBC driver is not installed");
    return path;
}

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    file.write(text.toUtf8());
}

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return QString::fromUtf8(file.readAll());
}

// The driver manager reads ODBCSYSINI and ODBCINI once per process and caches
// what it found, so a process sees one data source set-up: CTest runs every
// test in a process of its own.
const QString& odbcFolder()
{
    static QTemporaryDir* dir = [] {
        auto* d = new QTemporaryDir;
        if (!d->isValid())
            throw std::runtime_error("cannot make a temporary folder");
        setenv("ODBCSYSINI", d->path().toLocal8Bit().constData(), 1);
        setenv("ODBCINI", d->filePath(QStringLiteral("odbc.ini")).toLocal8Bit().constData(), 1);
        std::atexit([] { delete dir; });
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

void writeOdbcFiles(const QString& odbcinst, const QString& odbc)
{
    writeFile(odbcFolder() + QStringLiteral("/odbcinst.ini"), odbcinst);
    writeFile(odbcFolder() + QStringLiteral("/odbc.ini"), odbc);
}

// Keeps a driver and the installer library loaded for the whole process, so
// leak reports can name them (the driver manager unloads both otherwise).
void pin(const QString& driver)
{
    dlopen(driver.toLocal8Bit().constData(), RTLD_NOW | RTLD_NODELETE);
    dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
}

struct Db {
    sqlite3* handle = nullptr;
    explicit Db(const QString& file)
    {
        if (sqlite3_open(file.toUtf8().constData(), &handle) != SQLITE_OK)
            throw std::runtime_error("cannot open the test database");
        sqlite3_busy_timeout(handle, 5000);
    }
    ~Db() { sqlite3_close(handle); }
};

// Runs one statement with its values; the first column of up to maxRows rows.
std::vector<std::optional<QString>> sqliteRows(const QString& file, const QString& sql, const QVariantList& values,
                                               std::size_t maxRows)
{
    Db db(file);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.handle, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error("test SQL failed: " + std::string(sqlite3_errmsg(db.handle)));
    for (qsizetype i = 0; i < values.size(); ++i) {
        const int index = sqlite3_bind_parameter_index(statement, QByteArray("$" + QByteArray::number(i + 1)).constData());
        if (index == 0)
            continue;
        if (values[i].isNull())
            sqlite3_bind_null(statement, index);
        else
            sqlite3_bind_text(statement, index, values[i].toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
    std::vector<std::optional<QString>> rows;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (rows.size() < maxRows && sqlite3_column_count(statement) > 0)
            rows.push_back(sqlite3_column_type(statement, 0) == SQLITE_NULL
                               ? std::nullopt
                               : std::optional(exactly(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))));
    }
    const std::string error = sqlite3_errmsg(db.handle);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        throw std::runtime_error("test SQL failed: " + error);
    return rows;
}

#ifdef VETFAQ_WITH_POSTGRESQL

// Where ./test's cluster is (tests/support/pg-cluster.sh writes these).
struct Cluster {
    QString host, port, admin, password;
};

std::optional<Cluster> cluster()
{
    Cluster c{qEnvironmentVariable("VETFAQ_TEST_PG_HOST"), qEnvironmentVariable("VETFAQ_TEST_PG_PORT"),
              qEnvironmentVariable("VETFAQ_TEST_PG_ADMIN"), qEnvironmentVariable("VETFAQ_TEST_PG_PASSWORD")};
    if (c.host.isEmpty() || c.port.isEmpty() || c.admin.isEmpty())
        return std::nullopt;
    return c;
}

PGconn* connectAsAdmin(const QString& database)
{
    const Cluster c = *cluster();
    const QByteArray host = c.host.toUtf8(), port = c.port.toUtf8(), user = c.admin.toUtf8(),
                     password = c.password.toUtf8(), dbname = database.toUtf8();
    const char* keys[] = {"host", "port", "user", "password", "dbname", "client_encoding", "options", nullptr};
    const char* values[] = {host.constData(), port.constData(), user.constData(), password.constData(),
                            dbname.constData(), "UTF8", "-c client_min_messages=warning", nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string error = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot reach the test cluster: " + error);
    }
    return conn;
}

void run(PGconn* conn, const QString& sql)
{
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    const std::string error = PQresultErrorMessage(result);
    PQclear(result);
    if (!ok)
        throw std::runtime_error("test cluster SQL failed: " + error);
}

QString quotedName(PGconn* conn, const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    char* quoted = PQescapeIdentifier(conn, utf8.constData(), static_cast<std::size_t>(utf8.size()));
    const QString text = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return text;
}

// Runs one statement with its values; the first column of up to maxRows rows.
std::vector<std::optional<QString>> postgresRows(PGconn* conn, const QString& sql, const QVariantList& values,
                                                 std::size_t maxRows)
{
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    texts.reserve(static_cast<std::size_t>(values.size()));
    for (const QVariant& v : values) {
        texts.push_back(v.toString().toUtf8());
        pointers.push_back(v.isNull() ? nullptr : texts.back().constData());
    }
    PGresult* result = PQexecParams(conn, sql.toUtf8().constData(), static_cast<int>(values.size()), nullptr,
                                    pointers.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    const std::string error = PQresultErrorMessage(result);
    std::vector<std::optional<QString>> rows;
    if (status == PGRES_TUPLES_OK)
        for (int r = 0; r < PQntuples(result) && rows.size() < maxRows; ++r)
            rows.push_back(PQgetisnull(result, r, 0) ? std::nullopt : std::optional(exactly(PQgetvalue(result, r, 0))));
    PQclear(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw std::runtime_error("test SQL failed: " + error);
    return rows;
}

#endif

} // namespace

ThrowawayDataSource::ThrowawayDataSource(Schema schema) : ThrowawayDataSource(Backend::SQLite, schema) {}

ThrowawayDataSource::ThrowawayDataSource(Backend backend, Schema schema) : backend_(backend)
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    if (backend == Backend::PostgreSQL) {
        openPostgreSQL(schema);
        return;
    }
    sqliteFolder_ = dir_.path();
    openSQLite(schema);
}

ThrowawayDataSource::ThrowawayDataSource(Schema schema, const QString& sqliteFolder) : sqliteFolder_(sqliteFolder)
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    openSQLite(schema);
}

void ThrowawayDataSource::openSQLite(Schema schema)
{
    static const bool pinned = (pin(sqliteDriver()), true);
    (void)pinned;
    // The database first: the data source never makes a missing file.
    if (schema == Schema::Faq)
        exec(readFile(QStringLiteral(VETFAQ_SOURCE_DIR "/db/sqlite.sql")));
    else
        Db{databaseFile()};
    // The data source exactly as the provisioning writes it.
    QString dsn = readFile(QStringLiteral(VETFAQ_SOURCE_DIR "/db/odbc-sqlite.ini.in"));
    dsn.replace(QStringLiteral("@DRIVER@"), QStringLiteral("SQLite3")).replace(QStringLiteral("@DATABASE@"), databaseFile());
    writeOdbcFiles(QStringLiteral("[SQLite3]\nDriver = %1\nDontDLClose = 1\n").arg(sqliteDriver()), dsn);
}

QString ThrowawayDataSource::name(Backend backend)
{
    return backend == Backend::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

QString ThrowawayDataSource::databaseFile() const { return sqliteFolder_ + QStringLiteral("/faq.db"); }

std::vector<std::optional<QString>> ThrowawayDataSource::rows(const QString& sql, const QVariantList& values,
                                                              std::size_t maxRows) const
{
    if (backend_ == Backend::SQLite)
        return sqliteRows(databaseFile(), sql, values, maxRows);
#ifdef VETFAQ_WITH_POSTGRESQL
    return postgresRows(adminConnection(), sql, values, maxRows);
#else
    return {};
#endif
}

QStringList ThrowawayDataSource::column(const QString& sql, const QVariantList& values) const
{
    QStringList texts;
    for (const auto& row : rows(sql, values, SIZE_MAX))
        texts << row.value_or(QString());
    return texts;
}

QStringList ThrowawayDataSource::programSessions() const
{
    return column(QStringLiteral("SELECT pid::text FROM pg_stat_activity "
                                 "WHERE datname = current_database() AND usename = 'mirt' ORDER BY pid"));
}

QStringList ThrowawayDataSource::programSessionsInATransaction() const
{
    return column(QStringLiteral("SELECT pid::text FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND usename = 'mirt' AND state LIKE 'idle in transaction%' ORDER BY pid"));
}

std::optional<QString> ThrowawayDataSource::scalar(const QString& sql, const QVariantList& values) const
{
    const auto first = rows(sql, values, 1);
    return first.empty() ? std::nullopt : first.front();
}

void ThrowawayDataSource::exec(const QString& sql, const QVariantList& values) const
{
    if (!values.isEmpty()) {
        rows(sql, values, 0);
        return;
    }
    if (backend_ == Backend::PostgreSQL) {
#ifdef VETFAQ_WITH_POSTGRESQL
        // Several statements in one text need the simple protocol.
        run(adminConnection(), sql);
#endif
        return;
    }
    Db db(databaseFile());
    char* error = nullptr;
    if (sqlite3_exec(db.handle, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("test SQL failed: " + message);
    }
}

ThrowawayDataSource::~ThrowawayDataSource()
{
    writeOdbcFiles(QString(), QString());
    dropPostgreSQL();
}

NoDataSource::NoDataSource() { writeOdbcFiles(QString(), QString()); }

std::optional<QString> ThrowawayDataSource::unavailable(Backend backend)
{
    if (backend == Backend::SQLite)
        return std::nullopt;
#ifndef VETFAQ_WITH_POSTGRESQL
    return QStringLiteral("built without PostgreSQL support");
#else
    if (!cluster())
        return QStringLiteral("no test cluster: VETFAQ_TEST_PG_HOST, _PORT and _ADMIN are unset (./test starts one)");
    if (driverFile("psqlodbcw.so").isEmpty())
        return QStringLiteral("psqlODBC is not installed (Debian package odbc-postgresql)");
    return std::nullopt;
#endif
}

#ifdef VETFAQ_WITH_POSTGRESQL

void ThrowawayDataSource::openPostgreSQL(Schema schema)
{
    if (const auto why = unavailable(Backend::PostgreSQL))
        throw std::runtime_error(why->toStdString());
    static const bool pinned = (pin(driverFile("psqlodbcw.so")), true);
    (void)pinned;

    // A database of its own, so tests running side by side never meet.
    const QString name = QStringLiteral("vetfaq_test_") + QUuid::createUuid().toString(QUuid::Id128);
    PGconn* admin = connectAsAdmin(QStringLiteral("postgres"));
    try {
        run(admin, QStringLiteral("CREATE DATABASE %1").arg(quotedName(admin, name)));
    } catch (...) {
        PQfinish(admin);
        throw;
    }
    PQfinish(admin);
    pgDatabase_ = name;

    try {
        if (schema == Schema::Faq) {
            // The same file the provisioning runs, DateStyle setting included.
            exec(readFile(QStringLiteral(VETFAQ_SOURCE_DIR "/db/postgresql.sql")));
            // Later sessions pick up the database's settings, as the program's do.
            PQfinish(pg_);
            pg_ = nullptr;
        }
        const Cluster c = *cluster();
        QString dsn = readFile(QStringLiteral(VETFAQ_SOURCE_DIR "/db/odbc-postgresql.ini.in"));
        dsn.replace(QStringLiteral("@DRIVER@"), QStringLiteral("PostgreSQL Unicode"))
            .replace(QStringLiteral("@HOST@"), c.host)
            .replace(QStringLiteral("@PORT@"), c.port)
            .replace(QStringLiteral("@DATABASE@"), name);
        writeOdbcFiles(QStringLiteral("[PostgreSQL Unicode]\nDriver = %1\nDontDLClose = 1\n").arg(driverFile("psqlodbcw.so")),
                       dsn);
    } catch (...) {
        dropPostgreSQL();
        throw;
    }
}

pg_conn* ThrowawayDataSource::adminConnection() const
{
    if (!pg_)
        pg_ = connectAsAdmin(pgDatabase_);
    return pg_;
}

void ThrowawayDataSource::dropSession()
{
    if (pg_)
        PQfinish(pg_);
    pg_ = nullptr;
}

void ThrowawayDataSource::dropPostgreSQL() noexcept
{
    if (pg_)
        PQfinish(pg_);
    pg_ = nullptr;
    if (pgDatabase_.isEmpty())
        return;
    try {
        PGconn* admin = connectAsAdmin(QStringLiteral("postgres"));
        // Forced: a connection a failed test left open must not keep it alive.
        PQclear(PQexec(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)")
                                  .arg(quotedName(admin, pgDatabase_)).toUtf8().constData()));
        PQfinish(admin);
    } catch (...) {
        // The cluster goes away with ./test anyway.
    }
    pgDatabase_.clear();
}

#else

void ThrowawayDataSource::openPostgreSQL(Schema)
{
    throw std::runtime_error(unavailable(Backend::PostgreSQL)->toStdString());
}

pg_conn* ThrowawayDataSource::adminConnection() const { return nullptr; }

void ThrowawayDataSource::dropPostgreSQL() noexcept {}
void ThrowawayDataSource::dropSession() {}

#endif
