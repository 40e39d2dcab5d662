// Loads the data source FAQ's driver as the program does before its first
// connection, connects through the driver manager and counts the entries.
// Prints one line:
//   driver <the file named for the data source> loaded <the file loaded
//   ahead, or -> copies <how many loaded objects bear the driver's file
//   name> entries <the count, or the driver's message>
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
    std::optional<odbc::Statement> s = connection.statement(outcome);
    std::optional<QString> count;
    if (s && s->executeDirect(QStringLiteral("SELECT count(*) FROM faq")).ok() && s->fetch().ok())
        s->getText(1, count);
    return count.value_or(QStringLiteral("the count failed"));
}

QByteArray fileName(const QString& path)
{
    return path.isEmpty() ? QByteArray("-") : QFile::encodeName(QFileInfo(path).fileName());
}

} // namespace

int main()
{
    const QString driver = odbc::driverLibrary(QStringLiteral("FAQ"));
    const QString loaded = odbc::loadDriverLibrary(QStringLiteral("FAQ"));
    const QString entries = countEntries();
    std::printf("driver %s loaded %s copies %d entries %s\n", fileName(driver).constData(), fileName(loaded).constData(),
                copiesOf(driver), qPrintable(entries));
    return 0;
}
