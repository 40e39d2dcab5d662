// Loads the data source FAQ's driver as the program does before its first
// connection, connects through the driver manager and counts the entries.
// Prints, each file with its links resolved,
//   driver <the data source's driver file, as found here>
//   loaded <the file loaded ahead, or nothing>
//   copies <how many loaded objects bear the driver's file name>
//   entries <the count, or the driver's message>
// Built without the sanitizers: they refuse a library that searches its
// own libraries first, so the test programs cannot make this load.

#include "runtime/odbc.h"

#include <QFileInfo>

#include <cstdio>
#include <link.h>

namespace {

// A second copy would be one the driver manager loaded from elsewhere.
int copiesOf(const QString& file)
{
    struct Count {
        QString name;
        int copies = 0;
    } count{QFileInfo(file).fileName()};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* c = static_cast<Count*>(data);
            if (QFileInfo(QFile::decodeName(info->dlpi_name)).fileName() == c->name)
                ++c->copies;
            return 0;
        },
        &count);
    return count.copies;
}

QString countEntries()
{
    odbc::Connection connection;
    odbc::Outcome outcome = connection.open(QStringLiteral("DSN=FAQ;UID=mirt;PWD=qelp"), false, 10);
    if (!outcome.ok())
        return outcome.errorText();
    SQLHANDLE statement = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, connection.dbc(), &statement);
    SQLINTEGER entries = -1;
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLExecDirect(statement, (SQLCHAR*)"SELECT count(*) FROM faq", SQL_NTS))
        || !SQL_SUCCEEDED(SQLFetch(statement))
        || !SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_SLONG, &entries, 0, &indicator)))
        return QStringLiteral("the count failed");
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return QString::number(entries);
}

} // namespace

int main()
{
    const QString driver = odbc::driverLibrary(QStringLiteral("FAQ"));
    const QString loaded = odbc::loadDriverLibrary(QStringLiteral("FAQ"));
    const QString entries = countEntries();
    std::printf("driver %s\nloaded %s\ncopies %d\nentries %s\n", qPrintable(QFileInfo(driver).canonicalFilePath()),
                qPrintable(QFileInfo(loaded).canonicalFilePath()), copiesOf(driver), qPrintable(entries));
    return 0;
}
