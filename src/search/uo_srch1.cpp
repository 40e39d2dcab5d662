#include "search/uo_srch1.h"

#include "runtime/accessibility.h"
#include "runtime/controls.h"
#include "runtime/script.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QLineEdit>

using rt::Script;

namespace {
constexpr std::uint32_t kSelectVeza = 0x0b51a01;
constexpr std::uint32_t kSelectPolje = 0x0b51a02;
// The closed height of a drop-down list; the rest of its height in the
// layout table is room for the opened list.
constexpr int kClosedListHeight = 96;

QComboBox* dropDownList(QWidget* parent, const QStringList& items, int x, int y, int width, int listHeight)
{
    auto* list = new QComboBox(parent);
    list->setEditable(false);  // only the given items can be chosen
    list->addItems(items);
    list->setCurrentIndex(-1);  // nothing chosen until the constructor selects
    list->setMaxVisibleItems(items.size());
    list->setProperty("listHeight", listHeight);
    rt::place(list, x, y, width, kClosedListHeight);
    list->show();
    return list;
}
} // namespace

int selectitem(QComboBox* list, int index)
{
    if (!list || index < 1 || index > list->count())
        return -1;
    list->setCurrentIndex(index - 1);
    return index;
}

uo_srch1::uo_srch1(QWidget* parent) : QWidget(parent)
{
    rt::installAccessibility();
    setObjectName(QStringLiteral("uo_srch1"));
    setAutoFillBackground(false);
    setAcceptDrops(true);
    rt::place(this, 0, 0, 3483, 496);
}

void uo_srch1::create()
{
    Script s(rt::event("create", "uo_srch1", "uo_srch1"));
    // Every control of the row takes the row's font as it is made. A font
    // set on a drop-down list itself makes Qt build its opened list at once
    // (a list view and its model, some eighty connections by signal name),
    // a quarter of the search window's build; made so, that waits until the
    // list is first opened.
    setFont(rt::font("Arial", 10));
    s.line(2); ddlb_veza = dropDownList(this, {QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("NOT")},
                                        3136, 4, 297, 400);
    ddlb_veza->setObjectName(QStringLiteral("ddlb_veza"));
    s.line(3); ddlb_polje = dropDownList(this,
                                         {QStringLiteral("Address"), QStringLiteral("Question"), QStringLiteral("LOT"),
                                          QStringLiteral("Product"), QStringLiteral("Answer")},
                                         2034, 0, 992, 472);
    ddlb_polje->setObjectName(QStringLiteral("ddlb_polje"));
    s.line(4); sle_trazi = new QLineEdit(this);
    sle_trazi->setObjectName(QStringLiteral("sle_trazi"));
    rt::place(sle_trazi, 59, 0, 1870, 96);
    sle_trazi->show();
    s.line(5); Control = {ddlb_veza, ddlb_polje, sle_trazi};
    rt::chainFocus(tabOrder());
    updateMask();
}

std::vector<QWidget*> uo_srch1::tabOrder() const
{
    return rt::byTabOrder({{ddlb_veza, 30}, {ddlb_polje, 20}, {sle_trazi, 10}});
}

void uo_srch1::nameFor(int number)
{
    const QString row = QStringLiteral("Criterion %1 ").arg(number);
    if (sle_trazi)
        sle_trazi->setAccessibleName(row + QStringLiteral("words"));
    if (ddlb_polje)
        ddlb_polje->setAccessibleName(row + QStringLiteral("field"));
    if (ddlb_veza)
        ddlb_veza->setAccessibleName(row + QStringLiteral("connective"));
}

search::Criterion uo_srch1::criterion() const
{
    search::Criterion c;
    if (sle_trazi)
        c.text = sle_trazi->text();
    if (ddlb_polje)
        c.field = search::fieldNamed(ddlb_polje->currentText()).value_or(search::Field::Address);
    if (ddlb_veza)
        c.connective = search::connectiveNamed(ddlb_veza->currentText()).value_or(search::Connective::And);
    return c;
}

void uo_srch1::destroy()
{
    Script s(rt::event("destroy", "uo_srch1", "uo_srch1"));
    s.line(2); rt::destroyControl(ddlb_veza);
    s.line(3); rt::destroyControl(ddlb_polje);
    s.line(4); rt::destroyControl(sle_trazi);
    Control.clear();
}

void uo_srch1::constructors()
{
    rt::fire([this] { ddlb_veza_constructor(); });
    rt::fire([this] { ddlb_polje_constructor(); });
}

void uo_srch1::ddlb_veza_constructor()
{
    Script s(rt::event("constructor", "ddlb_veza", "uo_srch1"));
    s.line(1); if (selectitem(&s.need(ddlb_veza), 1) < 0) s.callFailed(kSelectVeza);
    s.end(3);
}

void uo_srch1::ddlb_polje_constructor()
{
    Script s(rt::event("constructor", "ddlb_polje", "uo_srch1"));
    s.line(1); if (selectitem(&s.need(ddlb_polje), 1) < 0) s.callFailed(kSelectPolje);
    s.end(3);
}

void uo_srch1::dragdrop(QObject* /*source*/)
{
    Script s(rt::event("dragdrop", "uo_srch1", "uo_srch1"));
    s.end(2);
}

void uo_srch1::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }

void uo_srch1::dropEvent(QDropEvent* event)
{
    rt::fire([&] { dragdrop(event->source()); });
    event->acceptProposedAction();
}

void uo_srch1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

// The row is as tall as its opened lists, but only its visible fields take
// clicks: the rest lets the controls below it be reached.
void uo_srch1::updateMask()
{
    QRegion region;
    for (QWidget* control : {static_cast<QWidget*>(ddlb_veza), static_cast<QWidget*>(ddlb_polje),
                             static_cast<QWidget*>(sle_trazi)})
        if (control)
            region += control->geometry();
    if (region.isEmpty())
        clearMask();
    else
        setMask(region);
}
