// Start-up and shut-down of the application object.

#include "app/globals.h"
#include "app/talvo.h"
#include "search/w_search.h"
#include "support/throwaway_data_source.h"
#include "support/trace_capture.h"

#include <QApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
// Closes the search window and lets Qt delete it.
void closeEverything()
{
    if (g.w_search)
        g.w_search->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

TEST(Startup, MissingDataSourceStillOpensTheSearchWindowAndKeepsTheFailureInSqlca)
{
    NoDataSource none;
    talvo app;
    EXPECT_EQ(rt::fire([&] { app.create(); }), 1);
    EXPECT_EQ(rt::fire([&] { app.open(QStringLiteral("--ignored argument")); }), 1);
    ASSERT_TRUE(g.w_search);
    EXPECT_TRUE(g.w_search->isVisible());
    EXPECT_EQ(g.w_search->windowTitle(), QStringLiteral("Veterinary FAQ helper"));
    EXPECT_LT(g.SQLCA->SQLCode, 0);
    EXPECT_TRUE(g.SQLCA->SQLErrText.contains(QStringLiteral("Data source name not found")))
        << g.SQLCA->SQLErrText.toStdString();
    EXPECT_EQ(g.rbr, 0);
    closeEverything();
    rt::fire([&] { app.destroy(); });
}

TEST(Startup, SettingsAreMadeInOrderAndTheConnectionWorks)
{
    ThrowawayDataSource source;
    talvo app;
    rt::fire([&] { app.create(); });
    rt::fire([&] { app.open(QString()); });
    EXPECT_EQ(app.appname, QStringLiteral("talvo"));
    EXPECT_EQ(g.SQLCA->DBMS, QStringLiteral("ODBC"));
    EXPECT_FALSE(g.SQLCA->AutoCommit);
    EXPECT_EQ(g.SQLCA->DBParm, QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'"));
    EXPECT_EQ(g.SQLCA->SQLCode, 0) << g.SQLCA->SQLErrText.toStdString();
    EXPECT_TRUE(g.SQLCA->isConnected());
    closeEverything();
    rt::fire([&] { app.destroy(); });
}

TEST(Startup, ShutdownDestroysTheGlobalsAndCommitsNothing)
{
    ThrowawayDataSource source;
    talvo app;
    rt::fire([&] { app.create(); });
    rt::fire([&] { app.open(QString()); });
    g.SQLCA->execute(QStringLiteral("INSERT INTO faq (rbr) VALUES (?)"), {rt::bind(qint16(1))});
    ASSERT_EQ(g.SQLCA->SQLCode, 0);
    closeEverything();
    EXPECT_FALSE(g.w_search) << "closing the search window ends it";

    TraceCapture trace;
    rt::fire([&] { app.destroy(); });
    EXPECT_FALSE(g.SQLCA);
    EXPECT_FALSE(g.SQLDA);
    EXPECT_FALSE(g.SQLSA);
    EXPECT_FALSE(g.Error);
    EXPECT_FALSE(g.Message);
    EXPECT_EQ(rt::messageObject(), nullptr);
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("0"))
        << "uncommitted work is rolled back at the end";
    const std::vector<std::string> expected = {
        "Executing event script destroy for class talvo, lib entry talvo",
        "  Executing instruction at line 2",
        "  Executing instruction at line 3",
        "  Executing instruction at line 4",
        "  Executing instruction at line 5",
        "  Executing instruction at line 6",
        "End event script destroy for class talvo, lib entry talvo",
    };
    EXPECT_EQ(trace.lines(), expected);
}

TEST(Startup, OpenTraceShowsTheSettingsConnectAndTheNestedWindowOpen)
{
    NoDataSource none;
    talvo app;
    rt::fire([&] { app.create(); });
    TraceCapture trace;
    rt::fire([&] { app.open(QString()); });
    ASSERT_GE(trace.lines().size(), 8u);
    const std::vector<std::string> head(trace.lines().begin(), trace.lines().begin() + 7);
    const std::vector<std::string> expected = {
        "Executing event script open for class talvo, lib entry talvo",
        "  Executing instruction at line 2",
        "  Executing instruction at line 3",
        "  Executing instruction at line 4",
        "  Executing instruction at line 6",
        "  Executing instruction at line 8",
        "  Executing event script create for class w_search, lib entry w_search",
    };
    EXPECT_EQ(head, expected);
    EXPECT_NE(std::find(trace.lines().begin(), trace.lines().end(),
                        "  Executing event script open for class w_search, lib entry w_search"),
              trace.lines().end());
    EXPECT_EQ(trace.lines().back(), "End event script open for class talvo, lib entry talvo");
    closeEverything();
    rt::fire([&] { app.destroy(); });
}

// Without a display the program says so in one line and ends with 1, instead
// of Qt's abort and its advice to reinstall.
TEST(Startup, WithoutADisplayOneClearLineAndExitCodeOne)
{
    for (const char* display : {"", ":77"}) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VETFAQ_PROGRAM), {});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << display;
        EXPECT_EQ(program.exitCode(), 1) << display;
        const QString said = QString::fromLocal8Bit(program.readAllStandardError()).trimmed();
        EXPECT_TRUE(said.startsWith(QStringLiteral("vetfaq: cannot open a window"))) << said.toStdString();
        EXPECT_FALSE(said.contains(u'\n')) << said.toStdString();
    }
}

// --help and --version answer on standard output and end with 0, even without
// a display; other arguments beside them are ignored.
TEST(Startup, HelpAndVersionPrintAndEndWithoutADisplay)
{
    const struct {
        QStringList arguments;
        QString output;
    } cases[] = {
        {{QStringLiteral("--version")}, QStringLiteral("vetfaq " VETFAQ_VERSION "\n")},
        {{QStringLiteral("--unknown"), QStringLiteral("-v")}, QStringLiteral("vetfaq " VETFAQ_VERSION "\n")},
        {{QStringLiteral("--help")}, QStringLiteral("Usage: " VETFAQ_PROGRAM " [options]\n")},
        {{QStringLiteral("file.txt"), QStringLiteral("-h")}, QStringLiteral("Usage: " VETFAQ_PROGRAM " [options]\n")},
    };
    for (const auto& c : cases) {
        const std::string name = c.arguments.join(u' ').toStdString();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(display));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VETFAQ_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForFinished(30000)) << name;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(program.exitCode(), 0) << name;
        EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardOutput()).startsWith(c.output)) << name;
    }
}
