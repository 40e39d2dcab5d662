#include "support/running_program.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

RunningProgram::RunningProgram()
{
    rt::fire([this] { app_.create(); });
    rt::fire([this] { app_.open(QString()); });
}

RunningProgram::~RunningProgram()
{
    for (w_main* w : entryWindows())
        w->close();
    if (g.w_search)
        g.w_search->close();
    settle();
    rt::fire([this] { app_.destroy(); });
}

std::vector<w_main*> RunningProgram::entryWindows()
{
    std::vector<w_main*> open;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<w_main*>(top); w && !w->isClosed())
            open.push_back(w);
    return open;
}

w_main& RunningProgram::onlyEntryWindow()
{
    const auto open = entryWindows();
    if (open.size() != 1)
        throw std::runtime_error("expected one entry window, found " + std::to_string(open.size()));
    return *open.front();
}

w_main& RunningProgram::openEntry(const std::optional<QString>& parm)
{
    w_main* w = rt::openWithParm<w_main>(parm, g.w_search.data());
    if (!w)
        throw std::runtime_error("the entry window did not open");
    return *w;
}

void RunningProgram::click(QWidget* button) const { QTest::mouseClick(button, Qt::LeftButton); }

namespace {
QPoint rowCentre(const dw_search& grid, int row)
{
    return grid.visualRect(grid.model()->index(row - 1, 1)).center();
}
} // namespace

void RunningProgram::clickRow(int row) const
{
    const dw_search& grid = *search().dw_search;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rowCentre(grid, row));
}

void RunningProgram::doubleClickRow(int row) const
{
    const dw_search& grid = *search().dw_search;
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, rowCentre(grid, row));
}

void RunningProgram::settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
