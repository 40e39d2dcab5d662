#include "support/throwaway_data_source.h"

#include <QFile>
#include <QTextStream>

#include <sqlite3.h>

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace {

QString sqliteDriver()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/odbc/libsqlite3odbc.so"})
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    throw std::runtime_error("the SQLite3 ODBC driver is not installed");
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

} // namespace

ThrowawayDataSource::ThrowawayDataSource(Schema schema)
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    // Keep the driver and the installer library loaded for the whole process,
    // so leak reports can name them (the driver manager unloads both otherwise).
    static void* pinned[] = {dlopen(sqliteDriver().toLocal8Bit().constData(), RTLD_NOW | RTLD_NODELETE),
                             dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE)};
    (void)pinned;
    writeOdbcFiles(QStringLiteral("[SQLite3]\nDriver = %1\nDontDLClose = 1\n").arg(sqliteDriver()),
                   QStringLiteral("[FAQ]\nDriver = SQLite3\nDatabase = %1\nTimeout = 5000\nJournalMode = WAL\n")
                       .arg(databaseFile()));
    if (schema == Schema::Faq)
        exec(readFile(QStringLiteral(VETFAQ_SOURCE_DIR "/db/sqlite.sql")));
    else
        Db{databaseFile()};
}

ThrowawayDataSource::~ThrowawayDataSource() { writeOdbcFiles(QString(), QString()); }

QString ThrowawayDataSource::databaseFile() const { return dir_.filePath(QStringLiteral("faq.db")); }

void ThrowawayDataSource::exec(const QString& sql) const
{
    Db db(databaseFile());
    char* error = nullptr;
    if (sqlite3_exec(db.handle, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("test SQL failed: " + message);
    }
}

std::optional<QString> ThrowawayDataSource::scalar(const QString& sql) const
{
    Db db(databaseFile());
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.handle, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error("test query failed: " + std::string(sqlite3_errmsg(db.handle)));
    std::optional<QString> value;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return value;
}

NoDataSource::NoDataSource() { writeOdbcFiles(QString(), QString()); }
