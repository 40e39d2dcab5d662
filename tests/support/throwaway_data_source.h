#pragma once
// A data source FAQ of a test's own: a temporary folder with its own
// odbc.ini and odbcinst.ini (ODBCINI and ODBCSYSINI point there while the
// object lives) and a fresh database with table faq, either an SQLite file
// or a database of its own on the test cluster that ./test starts.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <cstddef>
#include <optional>
#include <vector>

struct pg_conn;

class ThrowawayDataSource {
public:
    enum class Schema { Faq, None };
    enum class Backend { SQLite, PostgreSQL };

    explicit ThrowawayDataSource(Schema schema = Schema::Faq);
    explicit ThrowawayDataSource(Backend backend, Schema schema = Schema::Faq);
    // An SQLite database in the given folder (a small file system of the test's own, say).
    ThrowawayDataSource(Schema schema, const QString& sqliteFolder);
    ~ThrowawayDataSource();
    ThrowawayDataSource(const ThrowawayDataSource&) = delete;
    ThrowawayDataSource& operator=(const ThrowawayDataSource&) = delete;

    Backend backend() const { return backend_; }
    static QString name(Backend backend);
    // Why the backend cannot be used in this process, or nullopt when it can.
    static std::optional<QString> unavailable(Backend backend);

    // The SQLite database file (SQLite only).
    QString databaseFile() const;
    // The ODBC connection string the program uses.
    static QString connectString() { return QStringLiteral("DSN=FAQ;UID=mirt;PWD=qelp"); }

    // Runs SQL straight on the database, past ODBC (for set-up and checks),
    // as the database's owner. Without values the text may hold several
    // statements; with values it is one statement whose markers $1, $2, ...
    // take them (a null QVariant is null, anything else goes as text).
    void exec(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row, as text; nullopt for null or no row.
    // Timestamps read as 'yyyy-mm-dd hh:mm:ss' on both backends.
    std::optional<QString> scalar(const QString& sql, const QVariantList& values = {}) const;
    // Forgets the set-up session, for a server that was stopped and started again.
    void dropSession();
    // The first column of every row; null as a null QString.
    QStringList column(const QString& sql, const QVariantList& values = {}) const;
    // PostgreSQL: the server processes of the program's role on this
    // database, in order (other tests' sessions share the role, not the
    // database); and those of them that sit in an open transaction.
    QStringList programSessions() const;
    QStringList programSessionsInATransaction() const;

private:
    void openPostgreSQL(Schema schema);
    void dropPostgreSQL() noexcept;
    std::vector<std::optional<QString>> rows(const QString& sql, const QVariantList& values, std::size_t maxRows) const;
    pg_conn* adminConnection() const;

    void openSQLite(Schema schema);

    Backend backend_ = Backend::SQLite;
    QTemporaryDir dir_;
    QString sqliteFolder_;
    QString pgDatabase_;
    mutable pg_conn* pg_ = nullptr;
};

// No data source FAQ exists (the test's own odbc.ini is empty).
class NoDataSource {
public:
    NoDataSource();
};
