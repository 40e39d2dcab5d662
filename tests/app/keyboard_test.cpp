// The whole job from the keyboard alone (key events only, not one mouse
// event) leaves the same traces and the same table as the same job done
// with the mouse.

#include "dialogs/w_da_ne.h"
#include "search/uo_srch1.h"
#include "support/dialog_driver.h"
#include "support/running_program.h"
#include "support/trace_capture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Lets the window system's news (a window activated) arrive, as the event
// loop would between two key presses.
void settle() { QCoreApplication::processEvents(); }

// Keys go where a person's keys go: to the widget that has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    settle();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    ASSERT_TRUE(target) << "nothing has the focus";
    QTest::keyClick(target, key, modifiers);
}

void type(const QString& text)
{
    settle();
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), text);
}

// Tab until the widget has the focus; false when it never gets it.
bool tabTo(QWidget* widget)
{
    settle();
    for (int i = 0; i < 40 && QApplication::focusWidget() && QApplication::focusWidget() != widget; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
    }
    return QApplication::focusWidget() == widget;
}

// Any mouse event at all fails the keyboard road.
class NoMouse : public QObject {
public:
    int seen = 0;
    NoMouse() { qApp->installEventFilter(this); }
    ~NoMouse() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        const auto t = event->type();
        if (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease || t == QEvent::MouseButtonDblClick)
            ++seen;
        return false;
    }
};

struct Road {
    std::vector<std::string> trace;
    QStringList table;
};

Road walk(ThrowawayDataSource& source, bool keys)
{
    source.exec(QStringLiteral("DELETE FROM faq;"
                               "INSERT INTO faq VALUES (1, 'Ana Horvat', 'q1', '12/01/2026', 'p1', 'L-1', 'a1');"
                               "INSERT INTO faq VALUES (2, 'Ana Kos', 'q2', '12/02/2026', 'p2', 'L-2', 'a2');"
                               "INSERT INTO faq VALUES (3, 'Marko', 'q3', '12/03/2026', 'p3', 'L-3', 'a3');"));
    Road road;
    {
        RunningProgram program;
        w_search& search = program.search();
        search.activateWindow();
        NoMouse mouse;
        TraceCapture trace;

        // A criterion, and Search.
        if (keys) {
            press(Qt::Key_F, Qt::ControlModifier);
        } else {
            QTest::mouseClick(search.uo_1->sle_trazi, Qt::LeftButton);
        }
        type(QStringLiteral("ana"));
        if (keys)
            press(Qt::Key_F5);
        else
            program.click(search.cb_search);
        EXPECT_EQ(search.dw_search->rowCount(), 2);

        // The second listed entry: chosen, then opened.
        if (keys) {
            EXPECT_TRUE(tabTo(search.dw_search));
            press(Qt::Key_Down);
            press(Qt::Key_Space);
            press(Qt::Key_Return);
        } else {
            program.doubleClickRow(2);
        }
        w_main& viewed = RunningProgram::onlyEntryWindow();
        viewed.activateWindow();
        if (keys) {
            press(Qt::Key_E, Qt::ControlModifier);
            EXPECT_TRUE(tabTo(viewed.em_lot));
        } else {
            program.click(viewed.cb_edit);
            QTest::mouseClick(viewed.em_lot, Qt::LeftButton);
        }
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("L-22"));
        if (keys)
            press(Qt::Key_S, Qt::ControlModifier);
        else
            program.click(viewed.cb_save);
        RunningProgram::settle();

        // A new entry.
        search.activateWindow();
        if (keys)
            press(Qt::Key_N, Qt::ControlModifier);
        else
            program.click(search.cb_new);
        w_main& fresh = RunningProgram::onlyEntryWindow();
        fresh.activateWindow();
        if (!keys)
            QTest::mouseClick(fresh.mle_adresa, Qt::LeftButton);
        settle();
        EXPECT_EQ(QApplication::focusWidget(), fresh.mle_adresa);
        type(QStringLiteral("Novi"));
        if (keys)
            press(Qt::Key_S, Qt::ControlModifier);
        else
            program.click(fresh.cb_save);
        RunningProgram::settle();

        // The first listed entry deleted, answered YES.
        search.activateWindow();
        if (keys) {
            whenOpen<w_da_ne>([](w_da_ne& d) {
                d.activateWindow();
                press(Qt::Key_Tab);
                press(Qt::Key_Return);
            });
            EXPECT_TRUE(tabTo(search.dw_search));
            press(Qt::Key_Home);
            press(Qt::Key_Space);
            press(Qt::Key_Delete);
        } else {
            whenOpen<w_da_ne>([](w_da_ne& d) { QTest::mouseClick(d.cb_da, Qt::LeftButton); });
            program.clickRow(1);
            program.click(search.cb_delete);
        }

        // And Close.
        if (keys) {
            EXPECT_TRUE(tabTo(search.cb_close));
            press(Qt::Key_Space);
        } else {
            program.click(search.cb_close);
        }
        if (keys)
            EXPECT_EQ(mouse.seen, 0) << "the keyboard road used the mouse";
        road.trace = trace.lines();
        EXPECT_TRUE(program.boxes().empty());
    }
    road.table = source.column(QStringLiteral("SELECT rbr || ' ' || adresa || ' ' || lot FROM faq ORDER BY rbr"));
    return road;
}

} // namespace

TEST(KeyboardOnly, TheWholeJobLeavesTheSameTracesAndTableAsTheMouse)
{
    ThrowawayDataSource source;
    const Road byMouse = walk(source, false);
    const Road byKeys = walk(source, true);
    EXPECT_EQ(byMouse.table, (QStringList{QStringLiteral("2 Ana Kos L-22"), QStringLiteral("3 Marko L-3"),
                                          QStringLiteral("4 Novi ")}));
    EXPECT_EQ(byKeys.table, byMouse.table);
    EXPECT_EQ(byKeys.trace, byMouse.trace);
    EXPECT_GT(byMouse.trace.size(), 100u);
}
