// What the search window does when it is worked: listing, choosing,
// viewing, adding and deleting entries.

#include "dialogs/w_da_ne.h"
#include "search/dw_search.h"
#include "search/uo_srch1.h"
#include "support/dialog_driver.h"
#include "support/running_program.h"
#include "support/trace_capture.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QHelpEvent>
#include <QToolTip>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTest>

#include "runtime/controls.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

namespace {

class SearchActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        source.exec(QStringLiteral("INSERT INTO faq VALUES (12, 'Farm Novak', 'q12', '12/01/2026', 'p12', 'L-12', 'a12');"
                                   "INSERT INTO faq VALUES (17, 'Dr. Šimić', 'q17', '12/02/2026', 'p17', 'L-17', 'a17');"));
    }
    void answer(const char* yesOrNo)
    {
        const bool yes = QByteArray(yesOrNo) == "DA";
        whenOpen<w_da_ne>([yes](w_da_ne& d) { QTest::mouseClick(yes ? d.cb_da : d.cb_ne, Qt::LeftButton); });
    }
    // The trace of one script, from its opening line to its closing line.
    static Lines script(const Lines& lines, const std::string& opening)
    {
        const auto first = std::find(lines.begin(), lines.end(), opening);
        if (first == lines.end())
            return {};
        std::string closing = opening;
        closing.replace(0, std::string("Executing").size(), "End");
        const auto last = std::find(first, lines.end(), closing);
        Lines own;
        for (auto it = first; it != lines.end() && it <= last; ++it)
            if (it->rfind("  ", 0) != 0 || it->rfind("  Executing instruction", 0) == 0 || it == first || it == last)
                own.push_back(*it);
        return own;
    }
    static Lines statementLines(std::initializer_list<int> numbers)
    {
        Lines lines;
        for (int n : numbers)
            lines.push_back("  Executing instruction at line " + std::to_string(n));
        return lines;
    }
    static Lines framed(const std::string& name, const std::string& cls, std::initializer_list<int> numbers)
    {
        Lines lines = {"Executing event script " + name + " for class " + cls + ", lib entry w_search"};
        const Lines body = statementLines(numbers);
        lines.insert(lines.end(), body.begin(), body.end());
        lines.push_back("End event script " + name + " for class " + cls + ", lib entry w_search");
        return lines;
    }

    ThrowawayDataSource source;
    RunningProgram program;
};

} // namespace

TEST_F(SearchActions, SearchWithOnlyBlankCriteriaListsEveryEntry)
{
    program.search().uo_1->sle_trazi->setText(QStringLiteral("   "));
    program.click(program.search().cb_search);
    EXPECT_EQ(program.search().dw_search->rowCount(), 2);
    EXPECT_TRUE(program.boxes().empty());
}

TEST_F(SearchActions, ClickingARowChoosesItsEntryAndTheHeaderChoosesNone)
{
    program.click(program.search().cb_search);
    program.clickRow(2);
    const qint16 second = static_cast<qint16>(program.search().dw_search->getitemnumber(2, 1));
    EXPECT_EQ(g.rbr, second);
    EXPECT_TRUE(program.search().dw_search->isSelected(2));
    EXPECT_FALSE(program.search().dw_search->isSelected(1));

    // Keyboard moves change neither the highlight nor the chosen entry.
    program.search().dw_search->setFocus();
    QTest::keyClick(program.search().dw_search, Qt::Key_Up);
    EXPECT_EQ(g.rbr, second);
    EXPECT_TRUE(program.search().dw_search->isSelected(2));

    // Search clears the highlight but keeps the chosen entry.
    program.click(program.search().cb_search);
    EXPECT_FALSE(program.search().dw_search->isSelected(2));
    EXPECT_EQ(g.rbr, second);

    QTest::mouseClick(program.search().dw_search->horizontalHeader()->viewport(), Qt::LeftButton);
    EXPECT_EQ(g.rbr, 0);
}

// A caption click is first a click outside the rows (traced, nothing chosen,
// no highlight), then it sorts: ascending, descending, the database's order.
// A row chosen in a sorted list gives its own entry; a Search keeps the sort.
TEST_F(SearchActions, CaptionClicksSortAndChosenRowsKeepTheirOwnNumbers)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (20, 'Ana Čapo', 'q', '12/03/2026', 'p', 'L-3', 'a');"));
    dw_search& grid = *program.search().dw_search;
    program.click(program.search().cb_search);
    const auto numbers = [&] {
        std::vector<int> shown;
        for (long r = 1; r <= grid.rowCount(); ++r)
            shown.push_back(static_cast<int>(grid.getitemnumber(r, 1)));
        return shown;
    };
    const std::vector<int> databaseOrder = numbers();
    const auto clickCaption = [&](int column) {
        QHeaderView* header = grid.horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 5));
    };
    program.clickRow(1);
    TraceCapture trace;
    clickCaption(dw_pretraga::Adresa);
    EXPECT_EQ(trace.lines(), framed("clicked", "dw_search", {1, 2, 6, 9}));
    EXPECT_EQ(g.rbr, 0);
    EXPECT_EQ(numbers(), (std::vector<int>{20, 17, 12}));  // Ana Čapo, Dr. Šimić, Farm Novak
    EXPECT_TRUE(grid.horizontalHeader()->isSortIndicatorShown());

    clickCaption(dw_pretraga::Adresa);
    EXPECT_EQ(numbers(), (std::vector<int>{12, 17, 20}));
    program.clickRow(1);
    EXPECT_EQ(g.rbr, 12);
    program.click(program.search().cb_search);
    EXPECT_EQ(numbers(), (std::vector<int>{12, 17, 20})) << "a Search keeps the sort";
    EXPECT_EQ(g.rbr, 12);
    EXPECT_FALSE(grid.isSelected(1));

    clickCaption(dw_pretraga::Adresa);
    EXPECT_EQ(numbers(), databaseOrder);
    EXPECT_FALSE(grid.horizontalHeader()->isSortIndicatorShown());
}

// Copy and the tooltip read the entry fresh; a text with tabs, line breaks
// or quotes is quoted in the copied line.
TEST_F(SearchActions, CopyAndTheTooltipShowTheStoredEntry)
{
    dw_search& grid = *program.search().dw_search;
    program.click(program.search().cb_search);
    program.clickRow(1);
    source.exec(QStringLiteral("UPDATE faq SET pitanje = 'two' || char(9) || 'cells' || char(10) || 'and \"a line\"' WHERE rbr = 12"));
    program.search().activateWindow();
    QCoreApplication::processEvents();
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("12\tFarm Novak\t\"two\tcells\nand \"\"a line\"\"\"\t2026-12-01 00:00:00\tp12\tL-12\ta12"));

    QHelpEvent hover(QEvent::ToolTip, grid.visualRect(grid.model()->index(1, 1)).center(), QPoint(0, 0));
    QApplication::sendEvent(grid.viewport(), &hover);
    const QString tip = QToolTip::text();
    for (const char* part : {"Dr. \xc5\xa0imi\xc4\x87", "p17", "L-17", "q17", "a17"})
        EXPECT_TRUE(tip.contains(QString::fromUtf8(part))) << part << " in " << tip.toStdString();
}

TEST_F(SearchActions, TheListsContextMenuOffersCopyExportPrintAndPdf)
{
    dw_search& grid = *program.search().dw_search;
    program.click(program.search().cb_search);
    QStringList offered;
    QTimer::singleShot(50, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (!a->isSeparator())
                    offered << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)"));
            menu->close();
        }
    });
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(10, 10));
    QApplication::sendEvent(grid.viewport(), &request);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Copy (off)"), QStringLiteral("Export listed entries\u2026"),
                                    QStringLiteral("Print listed entries\u2026"),
                                    QStringLiteral("Save listed entries as PDF\u2026")}))
        << "nothing chosen yet, so nothing to copy";
}

TEST_F(SearchActions, ClickTraceShowsTheElseLineAfterTheThenBranch)
{
    program.click(program.search().cb_search);
    TraceCapture trace;
    program.clickRow(1);
    EXPECT_EQ(trace.lines(), framed("clicked", "dw_search", {1, 2, 3, 4, 5, 9}));
    trace.clear();
    program.search().dw_search_clicked(0);
    EXPECT_EQ(trace.lines(), framed("clicked", "dw_search", {1, 2, 6, 9}));
}

TEST_F(SearchActions, ViewAndDoubleClickOpenTheEntryReadOnly)
{
    program.click(program.search().cb_search);
    TraceCapture trace;
    program.doubleClickRow(1);
    const qint16 first = static_cast<qint16>(program.search().dw_search->getitemnumber(1, 1));
    w_main& window = RunningProgram::onlyEntryWindow();
    EXPECT_EQ(window.sle_rbr->text(), QString::number(first));
    EXPECT_FALSE(rt::isEnabled(*window.mle_adresa));
    EXPECT_EQ(script(trace.lines(), "Executing event script doubleclicked for class dw_search, lib entry w_search"),
              framed("doubleclicked", "dw_search", {1, 2, 3, 4, 5, 6, 10}));

    // Asking again for the same entry brings its window forward instead of a second one.
    window.cb_edit->click();
    window.mle_adresa->setPlainText(QStringLiteral("typed, not saved"));
    trace.clear();
    program.click(program.search().cb_view);
    EXPECT_EQ(RunningProgram::entryWindows().size(), 1u);
    EXPECT_EQ(window.mle_adresa->toPlainText(), QStringLiteral("typed, not saved"));
    EXPECT_EQ(trace.lines(), framed("clicked", "cb_view", {1, 2, 5}));
}

TEST_F(SearchActions, ViewAndDeleteDoNothingWithoutAChosenEntry)
{
    TraceCapture trace;
    program.click(program.search().cb_view);
    program.click(program.search().cb_delete);
    EXPECT_TRUE(RunningProgram::entryWindows().empty());
    EXPECT_TRUE(program.boxes().empty());
    Lines expected = framed("clicked", "cb_view", {1, 5});
    const Lines del = framed("clicked", "cb_delete", {1, 14});
    expected.insert(expected.end(), del.begin(), del.end());
    EXPECT_EQ(trace.lines(), expected);
}

TEST_F(SearchActions, NewFaqOpensANewEmptyWindowEachTime)
{
    g.rbr = 12;
    program.click(program.search().cb_new);
    program.click(program.search().cb_new);
    const auto windows = RunningProgram::entryWindows();
    ASSERT_EQ(windows.size(), 2u);
    for (w_main* w : windows) {
        EXPECT_EQ(w->sle_rbr->text(), QStringLiteral("18"));
        EXPECT_TRUE(rt::isEnabled(*w->mle_adresa));
        EXPECT_TRUE(w->mle_adresa->toPlainText().isEmpty());
    }
    EXPECT_EQ(g.rbr, 12);
}

TEST_F(SearchActions, ConfirmedDeleteRemovesCommitsAndListsAgain)
{
    program.click(program.search().cb_search);
    program.clickRow(1);
    const qint16 chosen = g.rbr;
    TraceCapture trace;
    answer("DA");
    program.click(program.search().cb_delete);
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq WHERE rbr = %1").arg(chosen)), QStringLiteral("0"));
    EXPECT_EQ(program.search().dw_search->rowCount(), 1);
    EXPECT_EQ(g.rbr, chosen) << "the deleted number stays chosen";
    EXPECT_EQ(script(trace.lines(), "Executing event script clicked for class cb_delete, lib entry w_search"),
              framed("clicked", "cb_delete", {1, 2, 3, 4, 5, 8, 10, 14}));

    // Deleting it again finds nothing: the box says so in words.
    trace.clear();
    answer("DA");
    program.click(program.search().cb_delete);
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("DELETE FROM faq WHERE rbr=%1").arg(chosen));
    EXPECT_EQ(program.boxes()[0].text, QStringLiteral("No entry was changed."));
    EXPECT_EQ(script(trace.lines(), "Executing event script clicked for class cb_delete, lib entry w_search"),
              framed("clicked", "cb_delete", {1, 2, 3, 4, 5, 6, 7, 10, 14}));
}

TEST_F(SearchActions, AnsweringNoDeletesNothing)
{
    program.click(program.search().cb_search);
    program.clickRow(1);
    TraceCapture trace;
    answer("NE");
    program.click(program.search().cb_delete);
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("2"));
    EXPECT_EQ(script(trace.lines(), "Executing event script clicked for class cb_delete, lib entry w_search"),
              framed("clicked", "cb_delete", {1, 2, 3, 14}));
    EXPECT_TRUE(program.boxes().empty());
}

TEST_F(SearchActions, FailedDeleteShowsTheDatabasesTextRollsBackAndTheNextActionWorks)
{
    source.exec(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON faq WHEN OLD.rbr = 12 "
                               "BEGIN SELECT RAISE(ABORT, 'entry 12 is kept'); END;"));
    g.rbr = 12;
    answer("DA");
    program.click(program.search().cb_delete);
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("DELETE FROM faq WHERE rbr=12"));
    EXPECT_TRUE(program.boxes()[0].text.contains(QStringLiteral("entry 12 is kept")));
    EXPECT_EQ(program.search().dw_search->rowCount(), 2) << "the list is refreshed all the same";
    // Nothing is left open: another program can write at once.
    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (99);"));

    g.rbr = 17;
    answer("DA");
    program.click(program.search().cb_delete);
    EXPECT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT group_concat(rbr) FROM faq ORDER BY rbr")),
              QStringLiteral("12,99"));
}

TEST_F(SearchActions, CloseEndsTheRunWithTheEntryWindowsAndWithoutTouchingTheDatabase)
{
    program.click(program.search().cb_new);
    QPointer<w_main> entry = &RunningProgram::onlyEntryWindow();
    // Clicked from inside the event loop, which must end by itself.
    QTimer::singleShot(0, [&] { program.click(program.search().cb_close); });
    QTimer watchdog;
    bool timedOut = false;
    watchdog.callOnTimeout([&] { timedOut = true; QCoreApplication::quit(); });
    watchdog.start(10000);
    QApplication::exec();
    EXPECT_FALSE(timedOut) << "the event loop ends with the last window";
    EXPECT_TRUE(!entry || entry->isClosed());
    RunningProgram::settle();
    EXPECT_FALSE(g.w_search);
    EXPECT_FALSE(entry);
    EXPECT_TRUE(program.boxes().empty());
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("2"));
}
