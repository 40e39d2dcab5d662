// What a screen reader finds in every window, and a view mode that can be
// read: contrast, scrolling and copying while the fields take no input.

#include "dialogs/w_da_ne.h"
#include "runtime/controls.h"
#include "support/dialog_driver.h"
#include "support/running_program.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Every focusable, visible control's accessible name, and the names of
// everything in the tree.
struct Walked {
    QStringList unnamed;  // focusable controls without a name
    QStringList names;
};

void walk(QAccessibleInterface* node, Walked& out, int depth = 0)
{
    if (!node || depth > 12)
        return;
    const QAccessible::State state = node->state();
    const QString name = node->text(QAccessible::Name);
    out.names << name;
    if (state.focusable && !state.invisible && name.trimmed().isEmpty())
        out.unnamed << QStringLiteral("%1 (%2)").arg(node->object() ? node->object()->objectName() : QString()).arg(node->role());
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), out, depth + 1);
}

Walked walkWindow(QWidget* window)
{
    Walked out;
    walk(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

// Labels that end in a colon name a field; each must be tied to it.
QStringList untiedLabels(QWidget* window)
{
    QStringList untied;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text().endsWith(u':') && !label->buddy())
            untied << label->text();
    return untied;
}

class Access : public ::testing::Test {
protected:
    void SetUp() override
    {
        source.exec(QStringLiteral("INSERT INTO faq VALUES (1, 'Ana', 'A question', '12/01/2026', 'Vetamox', 'L-1', 'Give 5 ml')"));
    }
    ThrowawayDataSource source;
    RunningProgram program;
};

} // namespace

TEST_F(Access, EveryFocusableControlIsNamedAndEveryLabelTiedToItsField)
{
    program.click(program.search().cb_search);
    std::vector<QWidget*> windows{&program.search(), &RunningProgram::openEntry(QStringLiteral("1")),
                                  &RunningProgram::openEntry(QStringLiteral("0"))};
    for (QWidget* window : windows) {
        const Walked walked = walkWindow(window);
        EXPECT_TRUE(walked.unnamed.isEmpty()) << window->objectName().toStdString() << ": "
                                              << walked.unnamed.join(QStringLiteral(", ")).toStdString();
        EXPECT_TRUE(untiedLabels(window).isEmpty()) << untiedLabels(window).join(u' ').toStdString();
    }
    const Walked search = walkWindow(windows[0]);
    for (const char* name : {"Entries", "Criterion 1 words", "Criterion 4 field", "Criterion 3 connective", "Search"})
        EXPECT_TRUE(search.names.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(search.names.contains(QStringLiteral("Rbr"))) << "the hidden number column is announced";
    const Walked entry = walkWindow(windows[1]);
    for (const char* name : {"Who", "Question", "Product", "LOT", "Solution"})
        EXPECT_TRUE(entry.names.contains(QLatin1String(name))) << name;

    bool checked = false;
    whenOpen<w_da_ne>([&](w_da_ne& dialog) {
        const Walked walked = walkWindow(&dialog);
        EXPECT_TRUE(walked.unnamed.isEmpty()) << walked.unnamed.join(u' ').toStdString();
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(&dialog)->text(QAccessible::Description)
                        .contains(QStringLiteral("Would you like to delete FAQ entry?")));
        checked = true;
        dialog.cb_ne->click();
    });
    g.rbr = 1;
    program.click(program.search().cb_delete);
    EXPECT_TRUE(checked);
}

TEST_F(Access, ViewModeCanBeReadScrolledAndCopiedButNotTypedInto)
{
    const QString answer = QStringLiteral("Line of the answer\n").repeated(200);
    source.exec(QStringLiteral("UPDATE faq SET odgovor = $1 WHERE rbr = 1"), {answer});
    w_main& w = RunningProgram::openEntry(QStringLiteral("1"));
    QPlainTextEdit* field = w.mle_odgovor;
    ASSERT_FALSE(rt::isEnabled(*field));

    // Greyed, yet readable: at least 4.5:1 with the palette the field paints with.
    const QPalette& p = field->palette();
    const double readable = rt::contrast(p.color(QPalette::Active, QPalette::Text), p.color(QPalette::Active, QPalette::Base));
    EXPECT_GE(readable, 4.5);
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Base), QApplication::palette().color(QPalette::Disabled, QPalette::Base));
    EXPECT_LT(readable, rt::contrast(QApplication::palette().color(QPalette::Active, QPalette::Text),
                                     QApplication::palette().color(QPalette::Active, QPalette::Base)))
        << "no longer looks disabled";

    // No focus, no typing.
    field->setFocus();
    EXPECT_FALSE(field->hasFocus());
    QTest::keyClicks(field, QStringLiteral("typed"));
    EXPECT_EQ(w.mle_odgovor->text(), answer);

    // The wheel scrolls it.
    QScrollBar* bar = field->verticalScrollBar();
    ASSERT_TRUE(bar->isEnabled());
    const int before = bar->value();
    QWheelEvent wheel(QPointF(10, 10), field->viewport()->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(field->viewport(), &wheel);
    EXPECT_GT(bar->value(), before);

    // Its context menu copies the whole text.
    QApplication::clipboard()->clear();
    QTimer::singleShot(50, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            EXPECT_EQ(menu->actions().value(0)->text(), QStringLiteral("Copy"));
            menu->actions().value(0)->trigger();
            menu->close();
        }
    });
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(10, 10));
    QApplication::sendEvent(field->viewport(), &request);
    EXPECT_EQ(QApplication::clipboard()->text(), answer);

    // Edit FAQ gives the field back its ordinary self.
    w.cb_edit->click();
    EXPECT_TRUE(rt::isEnabled(*field));
    EXPECT_EQ(field->palette().color(QPalette::Active, QPalette::Text), QApplication::palette().color(QPalette::Active, QPalette::Text));
}

TEST_F(Access, ShortcutsAreToldInTooltipsAndEscapeClosesOnlyAnUnchangedWindow)
{
    const struct {
        QPushButton* button;
        const char* keys;
    } told[] = {{program.search().cb_search, "F5"}, {program.search().cb_new, "Ctrl+N"},
                {program.search().cb_view, "Ctrl+O"}, {program.search().cb_delete, "Del"}};
    for (const auto& t : told)
        EXPECT_TRUE(t.button->toolTip().contains(QLatin1String(t.keys))) << t.button->toolTip().toStdString();

    for (const bool changed : {false, true}) {
        w_main& w = RunningProgram::openEntry(QStringLiteral("0"));
        QCoreApplication::processEvents();
        if (changed)
            QTest::keyClicks(w.mle_adresa, QStringLiteral("typed"));
        QTest::keyClick(w.mle_adresa, Qt::Key_Escape);
        EXPECT_EQ(w.isClosed(), !changed) << changed;
        if (changed)
            w.close();
        RunningProgram::settle();
    }
}
