#include "search/w_search.h"

#include "app/globals.h"
#include "data/faq_statements.h"
#include "dialogs/w_da_ne.h"
#include "entry/w_main.h"
#include "export/entry_output.h"
#include "runtime/conversions.h"
#include "runtime/message_box.h"
#include "runtime/waiting.h"
#include "runtime/controls.h"
#include "runtime/display.h"
#include "runtime/layout_units.h"
#include "search/dw_search.h"
#include "search/entry_text.h"
#include "search/uo_srch1.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QGroupBox>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <cmath>

using rt::Script;

namespace {
constexpr auto kTitle = "Veterinary FAQ helper";
// Call-site tags of the failure markers.
constexpr std::uint32_t kOpenCentre = 0x0a3c101;
constexpr std::uint32_t kSettrans = 0x0a3c201;
constexpr std::uint32_t kSelectRow = 0x0a3c301;
constexpr std::uint32_t kCloseWindow = 0x0a3c401;

const QString kDeleteQuestion = QString(54, u' ') + QStringLiteral("Would you like to delete FAQ entry?");

} // namespace

qint16 centredPosition(qint16 screenUnits, qint16 windowUnits)
{
    const qint32 difference = qint32(screenUnits) - qint32(windowUnits);
    return static_cast<qint16>(std::trunc(difference * 0.5));
}

w_search::w_search() : rt::Window(rt::WindowKind::Main, "w_search")
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setProperty("tag", QString::fromLatin1(kTitle));
    setSize(3730, 2132);

    st_listed = new QLabel(this);
    st_listed->setObjectName(QStringLiteral("st_listed"));
    st_listed->setFont(rt::font("Arial", 10));
    rt::place(st_listed, 82, 1964, 3529, 64);
}

uo_srch1* w_search::createRow(int x, int y)
{
    auto* row = new uo_srch1(this);
    rt::fire([row] { row->create(); });
    rt::place(row, x, y, 3488, 496);
    row->show();
    return row;
}

void w_search::create()
{
    Script s(rt::event("create", "w_search", "w_search"));
    s.line(2); gb_1 = new QGroupBox(QStringLiteral("Search FAQ database"), this);
    gb_1->setObjectName(QStringLiteral("gb_1"));
    gb_1->setFont(rt::font("Arial", 10));
    rt::place(gb_1, 82, 48, 3529, 1908);
    s.line(3); uo_1 = createRow(101, 168);
    uo_1->setObjectName(QStringLiteral("uo_1"));
    s.line(4); uo_2 = createRow(101, 336);
    uo_2->setObjectName(QStringLiteral("uo_2"));
    s.line(5); uo_3 = createRow(101, 504);
    uo_3->setObjectName(QStringLiteral("uo_3"));
    s.line(6); uo_4 = createRow(101, 672);
    uo_4->setObjectName(QStringLiteral("uo_4"));
    s.line(7); cb_search = rt::commandButton(this, "cb_search", "Search", rt::font("Arial", 10), 3122, 820, 411, 108);
    s.line(8); cb_delete = rt::commandButton(this, "cb_delete", "Delete", rt::font("Arial", 10), 622, 820, 411, 108);
    s.line(9); cb_view = rt::commandButton(this, "cb_view", "View", rt::font("Arial", 10), 155, 820, 411, 108);
    s.line(10); dw_search = new ::dw_search(this);
    dw_search->setObjectName(QStringLiteral("dw_search"));
    rt::place(dw_search, 155, 976, 3378, 932);
    s.line(11); cb_new = rt::commandButton(this, "cb_new", "New FAQ", rt::font("Arial", 10), 1088, 820, 411, 108);
    s.line(12); cb_close = rt::commandButton(this, "cb_close", "Close", rt::font("Arial", 10), 1554, 820, 411, 108);
    s.line(13); Control = {gb_1, uo_1, uo_2, uo_3, uo_4, cb_search, cb_delete, cb_view, dw_search, cb_new, cb_close};

    // The group box frames everything and lies behind every other control.
    for (QWidget* control : Control)
        if (control != gb_1)
            control->raise();
    gb_1->lower();
    // Each criterion row stands in the window's tab order for its own controls.
    std::vector<QWidget*> chain;
    for (QWidget* control : rt::byTabOrder({{gb_1, 40}, {uo_1, 30}, {uo_2, 40}, {uo_3, 50}, {uo_4, 60}, {cb_search, 80},
                                            {cb_delete, 80}, {cb_view, 90}, {dw_search, 70}, {cb_new, 90},
                                            {cb_close, 90}})) {
        if (auto* row = qobject_cast<uo_srch1*>(control)) {
            const auto inner = row->tabOrder();
            chain.insert(chain.end(), inner.begin(), inner.end());
        } else {
            chain.push_back(control);
        }
    }
    rt::chainFocus(chain);

    auto wire = [this](QPushButton* b, void (w_search::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { rt::fire([this, handler] { (this->*handler)(); }); });
    };
    wire(cb_search, &w_search::cb_search_clicked);
    wire(cb_delete, &w_search::cb_delete_clicked);
    wire(cb_view, &w_search::cb_view_clicked);
    wire(cb_new, &w_search::cb_new_clicked);
    wire(cb_close, &w_search::cb_close_clicked);
    // Enter in a criterion's text is a click on Search.
    for (uo_srch1* row : {uo_1, uo_2, uo_3, uo_4})
        if (row && row->sle_trazi)
            connect(row->sle_trazi, &QLineEdit::returnPressed, this, [this] {
                if (cb_search)
                    cb_search->click();
            });
    // The keyboard reaches every action: each key runs what the button's click runs.
    rt::shortcuts(cb_search, {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    rt::shortcuts(cb_new, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    rt::shortcuts(cb_view, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    rt::shortcuts(cb_delete, {QKeySequence(QKeySequence::Delete)}, dw_search);
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        if (uo_1 && uo_1->sle_trazi) {
            uo_1->sle_trazi->setFocus(Qt::ShortcutFocusReason);
            uo_1->sle_trazi->selectAll();
        }
    });
    int number = 1;
    for (uo_srch1* row : {uo_1, uo_2, uo_3, uo_4})
        if (row)
            row->nameFor(number++);
    dw_search->setAccessibleName(QStringLiteral("Entries"));
    // The hovered row's entry at a glance, read when asked for.
    dw_search->describeEntry = [](qint64 rbr) -> QString {
        if (rbr < 1 || rbr > 32767 || !g.SQLCA)
            return {};
        faq::WholeEntry entry;
        faq::readWholeEntry(*g.SQLCA, static_cast<qint16>(rbr), entry);
        return g.SQLCA->SQLCode == 0 ? entrySummary(entry) : QString();
    };
    dw_search->firstSearchSettings = []() -> std::optional<rt::ConnectionSettings> {
        if (!g.SQLCA || !g.SQLCA->isConnected())
            return std::nullopt;
        return g.SQLCA->settings();
    };
    dw_search->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dw_search, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showListMenu(dw_search->viewport()->mapToGlobal(at)); });
    auto* copy = new QShortcut(QKeySequence::Copy, dw_search, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &w_search::copyChosenEntry);
    connect(dw_search, &::dw_search::clicked, this, [this](int row) { rt::fire([=, this] { dw_search_clicked(row); }); });
    connect(dw_search, &::dw_search::doubleclicked, this,
            [this](int row) { rt::fire([=, this] { dw_search_doubleclicked(row); }); });
}

void w_search::constructors()
{
    for (uo_srch1* row : {uo_1, uo_2, uo_3, uo_4})
        if (row)
            row->constructors();
}

void w_search::destroyRow(uo_srch1*& row, const char* name)
{
    Script s(rt::event("destroy", name, "w_search"));
    s.line(2); s.need(row).destroy();
    rt::destroyControl(row);
}

void w_search::destroy()
{
    Script s(rt::event("destroy", "w_search", "w_search"));
    s.line(2); rt::destroyControl(gb_1);
    s.line(3); rt::fire([this] { destroyRow(uo_1, "uo_1"); });
    s.line(4); rt::fire([this] { destroyRow(uo_2, "uo_2"); });
    s.line(5); rt::fire([this] { destroyRow(uo_3, "uo_3"); });
    s.line(6); rt::fire([this] { destroyRow(uo_4, "uo_4"); });
    s.line(7); rt::destroyControl(cb_search);
    s.line(8); rt::destroyControl(cb_delete);
    s.line(9); rt::destroyControl(cb_view);
    s.line(10); rt::destroyControl(dw_search);
    s.line(11); rt::destroyControl(cb_new);
    s.line(12); rt::destroyControl(cb_close);
    Control.clear();
}

void w_search::open()
{
    Script s(rt::event("open", "w_search", "w_search"));
    s.line(1); g.rbr = 0;
    s.line(2); s.call(kOpenCentre, [&] { centriraj_prozor(this); });
    s.end(4);
}

void w_search::centriraj_prozor(rt::Window* prozor)
{
    Script s(rt::function("centriraj_prozor", "w_search"));
    rt::Environment env;
    s.line(7); const qint16 rtn = static_cast<qint16>(rt::getEnvironment(env));
    s.line(8); if (rtn != 1) return;
    s.line(10); const qint16 xx = centredPosition(static_cast<qint16>(rt::units::fromPixelsX(env.ScreenWidth)),
                                                  static_cast<qint16>(s.need(prozor).Width()));
    s.line(11); const qint16 yy = centredPosition(static_cast<qint16>(rt::units::fromPixelsY(env.ScreenHeight)),
                                                  static_cast<qint16>(s.need(prozor).Height()));
    s.line(15); s.need(prozor).setX(xx);
    s.line(16); s.need(prozor).setY(yy);
}

// ---- actions ----------------------------------------------------------------

void w_search::cb_search_clicked()
{
    Script s(rt::event("clicked", "cb_search", "w_search"));
    s.line(1); s.need(dw_search).settrans(s.need(g.SQLCA));
    // The grid reports a failed retrieval itself and is then empty.
    st_listed->setText(QStringLiteral("Searching\u2026"));
    s.line(2); s.need(dw_search).retrieve(criteria());
    showListed(dw_search->rowCount());
    s.line(3); s.setResult(0);
}

search::Filter w_search::criteria() const
{
    std::vector<search::Criterion> rows;
    for (const uo_srch1* row : {uo_1, uo_2, uo_3, uo_4})
        if (row)
            rows.push_back(row->criterion());
    return search::Filter(rows);
}

void w_search::showListed(long count)
{
    st_listed->setText(count == 1 ? QStringLiteral("1 entry listed") : QStringLiteral("%1 entries listed").arg(count));
}

qint16 w_search::entryNumberOf(const Script& s, long row)
{
    const double value = s.checkedNumber(s.need(dw_search).getitemnumber(row, 1));
    const double truncated = std::trunc(value);
    // A number outside 16 bits cannot be chosen without naming another entry.
    if (truncated < -32768 || truncated > 32767)
        return 0;
    return static_cast<qint16>(truncated);
}

void w_search::dw_search_clicked(long row)
{
    Script s(rt::event("clicked", "dw_search", "w_search"));
    s.line(1); if (s.need(dw_search).selectrow(0, false) < 0) s.callFailed(kSelectRow);
    s.line(2); if (row > 0) {
        s.line(3); if (dw_search->selectrow(row, true) < 0) s.callFailed(kSelectRow);
        s.line(4); g.rbr = entryNumberOf(s, row);
        s.line(5);
    } else {
        s.line(6); g.rbr = 0;
    }
    s.end(9);
}

void w_search::dw_search_doubleclicked(long row)
{
    Script s(rt::event("doubleclicked", "dw_search", "w_search"));
    s.line(1); if (s.need(dw_search).selectrow(0, false) < 0) s.callFailed(kSelectRow);
    s.line(2); if (row > 0) {
        s.line(3); if (dw_search->selectrow(row, true) < 0) s.callFailed(kSelectRow);
        s.line(4); g.rbr = entryNumberOf(s, row);
        s.line(5); openEntryWindow(*rt::toText(g.rbr));
        s.line(6);
    } else {
        s.line(7); g.rbr = 0;
    }
    s.end(10);
}

void w_search::cb_view_clicked()
{
    Script s(rt::event("clicked", "cb_view", "w_search"));
    s.line(1); if (g.rbr > 0) {
        s.line(2); openEntryWindow(*rt::toText(g.rbr));
    }
    s.end(5);
}

void w_search::cb_new_clicked()
{
    Script s(rt::event("clicked", "cb_new", "w_search"));
    s.line(1); openEntryWindow(QStringLiteral("0"));
    s.end(3);
}

void w_search::cb_delete_clicked()
{
    Script s(rt::event("clicked", "cb_delete", "w_search"));
    s.line(1); if (g.rbr > 0) {
        s.line(2); rt::openWithParm<w_da_ne>(kDeleteQuestion);
        s.line(3); if (s.need(rt::messageObject()).StringParm == QStringLiteral("DA")) {
            rt::Transaction& sqlca = s.need(g.SQLCA);
            s.line(4); faq::deleteEntry(sqlca, g.rbr);
            s.line(5); if (sqlca.SQLCode != 0) {
                s.line(6); deleteFailed(sqlca);
                s.line(7);
            } else {
                s.line(8); sqlca.commit();
                // A commit that failed is a failed delete, said as such.
                if (sqlca.SQLCode != 0)
                    deleteFailed(sqlca);
            }
            s.line(10); s.need(cb_search); rt::fire([this] { cb_search_clicked(); });
        }
    }
    s.end(14);
}

void w_search::deleteFailed(rt::Transaction& sqlca)
{
    // A delete that matched nothing comes back as "no data" without a text.
    const QString text = sqlca.SQLErrText.isEmpty() && sqlca.SQLCode == 100 ? QStringLiteral("No entry was changed.")
                                                                            : sqlca.SQLErrText;
    QString why = sqlca.explanation();
    if (sqlca.outcomeUnknown())
        why += QStringLiteral("\n\nIt is not known whether the database deleted the entry; the list shows what it "
                              "holds now.");
    rt::messageBox(QStringLiteral("DELETE FROM faq WHERE rbr=") + *rt::toText(g.rbr), text, why.trimmed());
    // Nothing of a failed change may reach a later commit.
    sqlca.rollback();
}

void w_search::showListMenu(const QPoint& at)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), this, &w_search::copyChosenEntry);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutVisibleInContextMenu(true);
    copy->setEnabled(g.rbr > 0);
    addOutputActions(menu);
    menu.exec(at);
}

void w_search::addOutputActions(QMenu& menu)
{
    menu.addSeparator();
    const bool listed = dw_search && dw_search->rowCount() > 0 && g.SQLCA;
    const auto onListed = [this](void (*act)(QWidget*, const rt::ConnectionSettings&, const std::vector<qint64>&)) {
        return [this, act] {
            if (g.SQLCA && dw_search)
                act(this, g.SQLCA->settings(), dw_search->listedNumbers());
        };
    };
    menu.addAction(QStringLiteral("Export listed entries\u2026"), this, onListed(&output::exportListed))->setEnabled(listed);
    menu.addAction(QStringLiteral("Print listed entries\u2026"), this, onListed(&output::printListed))->setEnabled(listed);
    menu.addAction(QStringLiteral("Save listed entries as PDF\u2026"), this, onListed(&output::saveListedAsPdf))
        ->setEnabled(listed);
}

void w_search::copyChosenEntry()
{
    if (g.rbr <= 0 || !g.SQLCA || rt::waiting())
        return;
    faq::WholeEntry entry;
    faq::readWholeEntry(*g.SQLCA, g.rbr, entry);
    if (g.SQLCA->SQLCode == 0)
        QGuiApplication::clipboard()->setText(asTabSeparated(g.rbr, entry));
    else if (g.SQLCA->SQLCode == 100)
        rt::messageBox(QStringLiteral("Copy"), QStringLiteral("Entry %1 is no longer stored.").arg(g.rbr));
    else
        rt::messageBox(QStringLiteral("Copy failed"), g.SQLCA->SQLErrText, g.SQLCA->explanation());
}

void w_search::cb_close_clicked()
{
    Script s(rt::event("clicked", "cb_close", "w_search"));
    s.line(1); if (!rt::close(this)) s.callFailed(kCloseWindow);
    s.end(2);
}

bool w_search::openEntryWindow(const QString& parm)
{
    const auto number = rt::toInteger(parm);
    std::erase_if(entryWindows_, [](const QPointer<w_main>& w) { return !w || w->isClosed(); });
    if (number && *number > 0) {
        for (const auto& w : entryWindows_)
            if (w->requestedNumber() == *number) {
                w->showNormal();
                w->raise();
                w->activateWindow();
                return true;
            }
    }
    w_main* window = rt::openWithParm<w_main>(parm, this);
    if (window)
        entryWindows_.emplace_back(window);
    return window != nullptr;
}
