#include "support/full_session.h"

#include "dialogs/w_da_ne.h"
#include "support/dialog_driver.h"
#include "support/running_program.h"

#include <QLineEdit>
#include <QPushButton>

QStringList runFullSession(RunningProgram& program)
{
    QStringList problems;
    auto check = [&](bool ok, const QString& what) {
        if (!ok)
            problems << what;
        return ok;
    };
    program.click(program.search().cb_search);
    const long listed = program.search().dw_search->rowCount();
    check(listed > 0, QStringLiteral("Search listed nothing"));
    program.clickRow(1);
    const qint16 chosen = g.rbr;
    check(chosen > 0, QStringLiteral("a click chose no entry"));

    program.click(program.search().cb_view);
    const auto windows = RunningProgram::entryWindows();
    if (!check(windows.size() == 1, QStringLiteral("View opened %1 windows").arg(windows.size())))
        return problems;
    w_main* w = windows.front();
    program.click(w->cb_edit);
    w->em_lot->setText(QStringLiteral("saved in a full session"));
    program.click(w->cb_save);
    check(w->isClosed(), QStringLiteral("Save left the window open"));
    RunningProgram::settle();

    g.rbr = chosen;
    whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
    program.click(program.search().cb_delete);
    check(program.search().dw_search->rowCount() == listed - 1, QStringLiteral("Delete did not remove one entry"));
    check(program.boxes().empty(), QStringLiteral("a message box: %1").arg(program.boxes().empty() ? QString()
                                                                                         : program.boxes().back().text));
    program.click(program.search().cb_close);
    RunningProgram::settle();
    check(!g.w_search, QStringLiteral("Close left the search window open"));
    return problems;
}

QString fillWithAllNumbersSql(bool postgresql)
{
    if (postgresql)
        return QStringLiteral("INSERT INTO faq SELECT n, 'Farm ' || n, 'Question ' || n, "
                              "timestamp '2026-01-01' + n * interval '1 hour', 'Product ' || n, 'L-' || n, "
                              "'Answer ' || n FROM generate_series(1, 32767) AS n");
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32767) "
                          "INSERT INTO faq SELECT i, 'Farm ' || i, 'Question ' || i, "
                          "datetime('2026-01-01', '+' || i || ' hours'), 'Product ' || i, 'L-' || i, "
                          "'Answer ' || i FROM n");
}
