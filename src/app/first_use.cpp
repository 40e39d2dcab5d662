#include "app/first_use.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <odbcinst.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace first_use {

bool dataSourceExists()
{
    // The section names of the user's and the system's odbc.ini, each ended by
    // a NUL, as odbcinst -q -s lists them.
    std::vector<char> names(64 * 1024);
    const int length = SQLGetPrivateProfileString(nullptr, nullptr, "", names.data(), static_cast<int>(names.size()),
                                                  "odbc.ini");
    for (const char* name = names.data(); length > 0 && *name; name += std::strlen(name) + 1)
        if (std::strcmp(name, "FAQ") == 0)
            return true;
    return false;
}

QString setupCommand()
{
    const QFileInfo setup(QCoreApplication::applicationDirPath() + QStringLiteral("/vetfaq-setup"));
    return setup.isExecutable() ? setup.filePath() : QString();
}

void setUpIfNeeded(const QString& setup)
{
    if (setup.isEmpty() || dataSourceExists())
        return;
    const int status = QProcess::execute(setup, {QStringLiteral("sqlite")});
    if (status != 0)
        std::fprintf(stderr, "vetfaq: setting up the embedded database failed (%s %s); the program starts without it.\n",
                     qPrintable(setup), status < 0 ? "did not run" : qPrintable(QStringLiteral("ended with %1").arg(status)));
}

} // namespace first_use
