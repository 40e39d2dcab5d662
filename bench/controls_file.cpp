#include "controls_file.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace bench {

namespace {

QJsonObject fontOf(const QFont& f)
{
    return {{QStringLiteral("families"), QJsonArray::fromStringList(f.families())},
            {QStringLiteral("points"), f.pointSizeF()},
            {QStringLiteral("weight"), f.weight()}};
}

QJsonObject fontOf(const QWidget& w)
{
    QJsonObject o = fontOf(w.font());
    // Whether the program set it on the control, or the control took it
    // from its parent: only a font set is set again.
    o[QStringLiteral("set")] = w.testAttribute(Qt::WA_SetFont);
    return o;
}

QFont fontFrom(const QJsonObject& o)
{
    QFont f;
    QStringList families;
    for (const QJsonValue& v : o.value(QStringLiteral("families")).toArray())
        families << v.toString();
    if (!families.isEmpty())
        f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(o.value(QStringLiteral("points")).toDouble());
    f.setWeight(static_cast<QFont::Weight>(o.value(QStringLiteral("weight")).toInt()));
    return f;
}

void setFontFrom(QWidget& w, const QJsonObject& o)
{
    if (o.value(QStringLiteral("set")).toBool())
        w.setFont(fontFrom(o));
}

QJsonObject describe(const QWidget& w)
{
    QJsonObject o{{QStringLiteral("x"), w.x()},          {QStringLiteral("y"), w.y()},
                  {QStringLiteral("width"), w.width()},  {QStringLiteral("height"), w.height()},
                  {QStringLiteral("visible"), w.isVisibleTo(w.window())},
                  {QStringLiteral("focus"), w.window()->focusWidget() == &w},
                  {QStringLiteral("font"), fontOf(w)}};
    QJsonArray children;
    if (const auto* grid = qobject_cast<const QTableView*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("grid");
        QJsonArray columns;
        const QAbstractItemModel* model = grid->model();
        for (int c = 0; model && c < model->columnCount(); ++c) {
            const QVariant font = model->headerData(c, Qt::Horizontal, Qt::FontRole);
            columns.append(QJsonObject{
                {QStringLiteral("caption"), model->headerData(c, Qt::Horizontal).toString()},
                {QStringLiteral("font"), font.canConvert<QFont>() ? fontOf(font.value<QFont>()) : QJsonObject()},
                {QStringLiteral("width"), grid->columnWidth(c)},
                {QStringLiteral("hidden"), grid->isColumnHidden(c)}});
        }
        o[QStringLiteral("columns")] = columns;
        o[QStringLiteral("captionHeight")] = grid->horizontalHeader()->height();
        o[QStringLiteral("captionAlignment")] = static_cast<int>(grid->horizontalHeader()->defaultAlignment());
        o[QStringLiteral("narrowestColumn")] = grid->horizontalHeader()->minimumSectionSize();
        o[QStringLiteral("captionFont")] = fontOf(*grid->horizontalHeader());
        return o;  // its scroll bars and viewport are its own
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("group");
        o[QStringLiteral("text")] = box->title();
    } else if (qobject_cast<const QLineEdit*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("line");
    } else if (const auto* list = qobject_cast<const QComboBox*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("list");
        QJsonArray items;
        for (int i = 0; i < list->count(); ++i)
            items.append(list->itemText(i));
        o[QStringLiteral("items")] = items;
        return o;
    } else if (const auto* button = qobject_cast<const QPushButton*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("button");
        o[QStringLiteral("text")] = button->text();
        return o;
    } else if (const auto* label = qobject_cast<const QLabel*>(&w)) {
        o[QStringLiteral("kind")] = QStringLiteral("label");
        o[QStringLiteral("text")] = label->text();
        return o;
    } else {
        o[QStringLiteral("kind")] = QStringLiteral("plain");
    }
    for (const QObject* child : w.children())
        if (const auto* cw = qobject_cast<const QWidget*>(child); cw && !cw->isWindow())
            children.append(describe(*cw));
    o[QStringLiteral("children")] = children;
    return o;
}

void build(const QJsonObject& o, QWidget* parent)
{
    const QString kind = o.value(QStringLiteral("kind")).toString();
    QWidget* w = nullptr;
    if (kind == QLatin1String("grid")) {
        auto* grid = new QTableView(parent);
        const QJsonArray columns = o.value(QStringLiteral("columns")).toArray();
        auto* model = new QStandardItemModel(0, static_cast<int>(columns.size()), grid);
        for (int c = 0; c < columns.size(); ++c) {
            const QJsonObject column = columns[c].toObject();
            model->setHeaderData(c, Qt::Horizontal, column.value(QStringLiteral("caption")).toString());
            if (const QJsonObject font = column.value(QStringLiteral("font")).toObject(); !font.isEmpty())
                model->setHeaderData(c, Qt::Horizontal, fontFrom(font), Qt::FontRole);
        }
        grid->setModel(model);
        grid->verticalHeader()->hide();
        setFontFrom(*grid->horizontalHeader(), o.value(QStringLiteral("captionFont")).toObject());
        grid->horizontalHeader()->setFixedHeight(o.value(QStringLiteral("captionHeight")).toInt());
        grid->horizontalHeader()->setDefaultAlignment(
            static_cast<Qt::Alignment>(o.value(QStringLiteral("captionAlignment")).toInt()));
        grid->horizontalHeader()->setMinimumSectionSize(o.value(QStringLiteral("narrowestColumn")).toInt());
        for (int c = 0; c < columns.size(); ++c) {
            grid->setColumnWidth(c, columns[c].toObject().value(QStringLiteral("width")).toInt());
            grid->setColumnHidden(c, columns[c].toObject().value(QStringLiteral("hidden")).toBool());
        }
        w = grid;
    } else if (kind == QLatin1String("group")) {
        w = new QGroupBox(o.value(QStringLiteral("text")).toString(), parent);
    } else if (kind == QLatin1String("line")) {
        w = new QLineEdit(parent);
    } else if (kind == QLatin1String("list")) {
        auto* list = new QComboBox(parent);
        for (const QJsonValue& v : o.value(QStringLiteral("items")).toArray())
            list->addItem(v.toString());
        w = list;
    } else if (kind == QLatin1String("button")) {
        w = new QPushButton(o.value(QStringLiteral("text")).toString(), parent);
    } else if (kind == QLatin1String("label")) {
        w = new QLabel(o.value(QStringLiteral("text")).toString(), parent);
    } else {
        w = new QWidget(parent);
    }
    // As the program did; a font set on a drop-down list itself, for one,
    // makes Qt build the list's popup at once.
    setFontFrom(*w, o.value(QStringLiteral("font")).toObject());
    w->setGeometry(o.value(QStringLiteral("x")).toInt(), o.value(QStringLiteral("y")).toInt(),
                   o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
    w->setVisible(o.value(QStringLiteral("visible")).toBool());
    if (o.value(QStringLiteral("focus")).toBool())
        w->setFocus();
    for (const QJsonValue& child : o.value(QStringLiteral("children")).toArray())
        build(child.toObject(), w);
}

} // namespace

bool writeControls(const QWidget& window, const char* file)
{
    QJsonObject o = describe(window);
    o[QStringLiteral("title")] = window.windowTitle();
    QFile out(QString::fromLocal8Bit(file));
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(o).toJson()) > 0;
}

QWidget* buildControls(const char* file)
{
    QFile in(QString::fromLocal8Bit(file));
    if (!in.open(QIODevice::ReadOnly))
        return nullptr;
    const QJsonObject o = QJsonDocument::fromJson(in.readAll()).object();
    auto* window = new QWidget;
    window->setWindowTitle(o.value(QStringLiteral("title")).toString());
    setFontFrom(*window, o.value(QStringLiteral("font")).toObject());
    window->setGeometry(o.value(QStringLiteral("x")).toInt(), o.value(QStringLiteral("y")).toInt(),
                        o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
    for (const QJsonValue& child : o.value(QStringLiteral("children")).toArray())
        build(child.toObject(), window);
    return window;
}

} // namespace bench
