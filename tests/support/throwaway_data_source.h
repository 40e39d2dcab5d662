#pragma once
// A data source FAQ of a test's own: a temporary folder with its own
// odbc.ini and odbcinst.ini (ODBCINI and ODBCSYSINI point there while the
// object lives) and a fresh SQLite database with table faq.

#include <QString>
#include <QTemporaryDir>

#include <optional>

class ThrowawayDataSource {
public:
    enum class Schema { Faq, None };
    explicit ThrowawayDataSource(Schema schema = Schema::Faq);
    ~ThrowawayDataSource();
    ThrowawayDataSource(const ThrowawayDataSource&) = delete;
    ThrowawayDataSource& operator=(const ThrowawayDataSource&) = delete;

    QString databaseFile() const;
    // The ODBC connection string the program uses.
    static QString connectString() { return QStringLiteral("DSN=FAQ;UID=mirt;PWD=qelp"); }

    // Runs SQL straight on the database file, past ODBC (for set-up and checks).
    void exec(const QString& sql) const;
    // The first column of the first row of a query, as text; nullopt for null or no row.
    std::optional<QString> scalar(const QString& sql) const;

private:
    QTemporaryDir dir_;
};

// No data source FAQ exists (the test's own odbc.ini is empty).
class NoDataSource {
public:
    NoDataSource();
};
