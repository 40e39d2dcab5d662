// The execution protocol: trace lines, nesting, stops and failure markers.

#include "runtime/message.h"
#include "runtime/script.h"
#include "support/recorded_message_boxes.h"
#include "support/trace_capture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using rt::Script;
using Lines = std::vector<std::string>;

namespace {

constexpr std::uint32_t kTag = 0x00b12c3;

// A small object with the shapes of script the program has.
struct Scripts {
    std::vector<int> ran;
    int* nothing = nullptr;

    void function(bool failAtLine2)
    {
        Script s(rt::function("novibroj", "w_main"));
        s.line(1); ran.push_back(1);
        s.line(2); if (failAtLine2) s.need(nothing);
        ran.push_back(2);
    }
    void event(bool calleeFails)
    {
        Script s(rt::event("clicked", "cb_save", "w_main"));
        s.line(4); ran.push_back(4);
        s.line(5); s.call(kTag, [&] { function(calleeFails); });
        s.line(6); ran.push_back(6);
        s.end(9);
    }
    void stopAtLine1()
    {
        Script s(rt::event("open", "w_da_ne", "w_da_ne"));
        s.line(1); s.need(nothing);
        s.line(2); ran.push_back(2);
        s.end(3);
    }
};

} // namespace

TEST(ScriptTrace, NestedCallIsIndentedBetweenTheCallersLines)
{
    TraceCapture trace;
    Scripts scripts;
    EXPECT_EQ(rt::fire([&] { scripts.event(false); }), 1);
    const Lines expected = {
        "Executing event script clicked for class cb_save, lib entry w_main",
        "  Executing instruction at line 4",
        "  Executing instruction at line 5",
        "  Executing object function novibroj for class w_main, lib entry w_main",
        "    Executing instruction at line 1",
        "    Executing instruction at line 2",
        "  End object function novibroj for class w_main, lib entry w_main",
        "  Executing instruction at line 6",
        "  Executing instruction at line 9",
        "End event script clicked for class cb_save, lib entry w_main",
    };
    EXPECT_EQ(trace.lines(), expected);
}

TEST(ScriptTrace, StopWithNullReferenceAtLine1WritesOpeningLine1AndClosingOnly)
{
    RecordedMessageBoxes boxes;
    TraceCapture trace;
    Scripts scripts;
    EXPECT_EQ(rt::fire([&] { scripts.stopAtLine1(); }), 0);
    const Lines expected = {
        "Executing event script open for class w_da_ne, lib entry w_da_ne",
        "  Executing instruction at line 1",
        "End event script open for class w_da_ne, lib entry w_da_ne",
    };
    EXPECT_EQ(trace.lines(), expected);
    EXPECT_TRUE(scripts.ran.empty()) << "nothing after the failing statement runs";
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("20502")));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("open")));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("w_da_ne")));
}

TEST(ScriptTrace, FailedCallWritesTheCallSitesMarkerAndStopsTheCaller)
{
    RecordedMessageBoxes boxes;
    TraceCapture trace;
    Scripts scripts;
    EXPECT_EQ(rt::fire([&] { scripts.event(true); }), 0);
    const Lines expected = {
        "Executing event script clicked for class cb_save, lib entry w_main",
        "  Executing instruction at line 4",
        "  Executing instruction at line 5",
        "  Executing object function novibroj for class w_main, lib entry w_main",
        "    Executing instruction at line 1",
        "    Executing instruction at line 2",
        "  End object function novibroj for class w_main, lib entry w_main",
        "  *** WE HAVE A PROBLEM HERE. Error = 00b12c3 ***",
        "End event script clicked for class cb_save, lib entry w_main",
    };
    EXPECT_EQ(trace.lines(), expected);
    EXPECT_EQ(scripts.ran, (std::vector<int>{4, 1})) << "work done before the failure is kept";
    EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST(ScriptTrace, ScriptClassDisabledKeepsStatementLinesAtOneLevel)
{
    TraceCapture trace({rt::StatementLines});
    Scripts scripts;
    rt::fire([&] { scripts.event(false); });
    const Lines expected = {
        "Executing instruction at line 4", "Executing instruction at line 5", "Executing instruction at line 1",
        "Executing instruction at line 2", "Executing instruction at line 6", "Executing instruction at line 9",
    };
    EXPECT_EQ(trace.lines(), expected);
}

TEST(ScriptTrace, MarkerIsStillWrittenWhenOnlyScriptLinesAreDisabled)
{
    RecordedMessageBoxes boxes;
    TraceCapture trace({rt::StatementLines});
    Scripts scripts;
    rt::fire([&] { scripts.event(true); });
    EXPECT_EQ(trace.lines().back(), "*** WE HAVE A PROBLEM HERE. Error = 00b12c3 ***");
}

TEST(ScriptTrace, EnvironmentSwitchesTheTraceIntoAFileAndOffAgain)
{
    RecordedMessageBoxes boxes;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trace.txt"));
    Scripts scripts;

    setenv("VETFAQ_TRACE", file.toLocal8Bit().constData(), 1);
    setenv("VETFAQ_TRACE_CLASSES", "30", 1);
    rt::TraceWriter::instance().configureFromEnvironment();
    rt::fire([&] { scripts.stopAtLine1(); });
    rt::TraceWriter::instance().switchOff();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("Executing event script open for class w_da_ne, lib entry w_da_ne\n"
                                            "End event script open for class w_da_ne, lib entry w_da_ne\n"));
    written.close();

    // Off: not a line of any kind, not even a failure marker.
    const QString second = dir.filePath(QStringLiteral("off.txt"));
    unsetenv("VETFAQ_TRACE");
    unsetenv("VETFAQ_TRACE_CLASSES");
    rt::TraceWriter::instance().configureFromEnvironment();
    EXPECT_FALSE(rt::TraceWriter::instance().on());
    rt::fire([&] { scripts.event(true); });
    EXPECT_FALSE(QFile::exists(second));
}

TEST(ScriptTrace, TraceClassesParseFromAList)
{
    EXPECT_EQ(rt::parseTraceClasses("30,31"), (std::set<int>{30, 31}));
    EXPECT_EQ(rt::parseTraceClasses(" 31 "), (std::set<int>{31}));
    EXPECT_EQ(rt::parseTraceClasses(""), std::set<int>{});
}

TEST(ScriptResult, EndLineTakesTheMessagesReturnValueOrZeroWithoutMessage)
{
    rt::Message message;
    message.ReturnValue = 7;
    rt::registerMessageObject(&message);
    long result = -1;
    rt::fire([&] {
        Script s(rt::event("clicked", "cb_view", "w_search"));
        s.end(5);
        result = s.result();
    });
    EXPECT_EQ(result, 7);
    rt::registerMessageObject(nullptr);
    rt::fire([&] {
        Script s(rt::event("clicked", "cb_view", "w_search"));
        s.end(5);
        result = s.result();
    });
    EXPECT_EQ(result, 0);
}

TEST(ScriptChecks, ErrorMarkerInANumberRaisesInvalidNumber)
{
    RecordedMessageBoxes boxes;
    const double marker = std::bit_cast<double>(0x7FEFFFFFFFFFFFFBull);
    EXPECT_TRUE(rt::isErrorMarker(marker));
    EXPECT_FALSE(rt::isErrorMarker(17.0));
    EXPECT_EQ(rt::fire([&] {
                  Script s(rt::event("clicked", "dw_search", "w_search"));
                  s.checkedNumber(marker);
              }),
              0);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("20525")));
}
