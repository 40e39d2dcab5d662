// One full session over the largest table, for running under valgrind:
//   full_session_run [postgresql]
// Exits 0 when every step did what a person would expect.

#include "support/full_session.h"
#include "support/running_program.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const bool postgresql = argc > 1 && std::strcmp(argv[1], "postgresql") == 0;
    QStringList problems;
    {
        ThrowawayDataSource source(postgresql ? ThrowawayDataSource::Backend::PostgreSQL
                                              : ThrowawayDataSource::Backend::SQLite);
        source.exec(fillWithAllNumbersSql(postgresql));
        RunningProgram program;
        problems = runFullSession(program);
    }
    for (const QString& p : problems)
        std::fprintf(stderr, "full session: %s\n", qPrintable(p));
    std::printf("full session: %s\n", problems.isEmpty() ? "every step as expected" : "FAILED");
    return problems.isEmpty() ? 0 : 1;
}
