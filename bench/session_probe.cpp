// One scripted session for callgrind: the program's start as main() runs
// it, then, once the search window is painted, clicks on "Search", the first
// row, "View", "Edit FAQ", "Save FAQ" (with a changed lot) and "Close".
// Exits 0 when every step did what a person would expect.

#include "app/globals.h"
#include "app/talvo.h"
#include "entry/w_main.h"
#include "first_shown.h"
#include "printed_boxes.h"
#include "runtime/script.h"
#include "runtime/trace.h"
#include "search/dw_search.h"
#include "search/w_search.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>

namespace {

w_main* openEntryWindow()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<w_main*>(top); w && !w->isClosed())
            return w;
    return nullptr;
}

QStringList session()
{
    QStringList problems;
    w_search& search = *g.w_search;
    dw_search& grid = *search.dw_search;
    QTest::mouseClick(search.cb_search, Qt::LeftButton);
    const long listed = grid.rowCount();
    if (listed <= 0)
        return {QStringLiteral("Search listed nothing")};
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.model()->index(0, 1)).center());
    QTest::mouseClick(search.cb_view, Qt::LeftButton);
    w_main* entry = openEntryWindow();
    if (!entry)
        return {QStringLiteral("View opened no window")};
    QCoreApplication::processEvents();
    QTest::mouseClick(entry->cb_edit, Qt::LeftButton);
    entry->em_lot->setText(entry->em_lot->text() + QStringLiteral(" (checked)"));
    QTest::mouseClick(entry->cb_save, Qt::LeftButton);
    if (openEntryWindow())
        problems << QStringLiteral("Save left the window open");
    if (grid.rowCount() != listed)
        problems << QStringLiteral("the refreshed grid lists %1 entries, not %2").arg(grid.rowCount()).arg(listed);
    QCoreApplication::processEvents();
    QTest::mouseClick(search.cb_close, Qt::LeftButton);
    return problems;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList problems{QStringLiteral("the search window was never shown")};
    rt::installMessageBoxes(std::make_unique<bench::PrintedBoxes>());

    // From here on as main() in src/app/main.cpp, with the session installed first.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    bench::FirstShown probe([](QObject* o) { return o == g.w_search.data(); },
                            [&problems](QWidget*) {
                                problems = session();
                                // Close ends the run as the last window goes; this only makes sure.
                                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                            });
    talvo application;
    const int result = application.run();

    for (const QString& p : problems)
        std::fprintf(stderr, "session: %s\n", qPrintable(p));
    return problems.isEmpty() && bench::PrintedBoxes::shown == 0 ? result : 1;
}
