#include "search/dw_search_accessible.h"

#include "data/dw_pretraga.h"
#include "search/dw_search.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

#include <unordered_map>

namespace {

class GridRow final : public QAccessibleInterface {
public:
    GridRow(dw_search* grid, int row) : grid_(grid), row_(row) {}

    bool isValid() const override { return grid_ && row_ < grid_->model()->rowCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(grid_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        QStringList shown;
        for (int column : {dw_pretraga::Adresa, dw_pretraga::Datum, dw_pretraga::Lot}) {
            const QString value = grid_->model()->index(row_, column).data().toString();
            if (!value.isEmpty())
                shown << value;
        }
        return shown.isEmpty() ? QStringLiteral("empty entry") : shown.join(QStringLiteral(", "));
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        QRect area;
        for (int column : {dw_pretraga::Adresa, dw_pretraga::Datum, dw_pretraga::Lot})
            area = area.united(grid_->visualRect(grid_->model()->index(row_, column)));
        return QRect(grid_->viewport()->mapToGlobal(area.topLeft()), area.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.focusable = true;
        s.selectable = true;
        s.selected = grid_->isSelected(row_ + 1);
        s.focused = grid_->hasFocus() && grid_->currentIndex().row() == row_;
        s.invisible = !grid_->viewport()->rect().intersects(grid_->visualRect(grid_->model()->index(row_, dw_pretraga::Adresa)));
        return s;
    }

private:
    QPointer<dw_search> grid_;
    int row_;
};

class GridAccessible final : public QAccessibleWidget {
public:
    explicit GridAccessible(dw_search* grid) : QAccessibleWidget(grid, QAccessible::List)
    {
        // Rows are told anew after every listing.
        QObject::connect(grid->model(), &QAbstractItemModel::modelReset, grid, [this] { forget(); });
    }
    ~GridAccessible() override { forget(); }

    int childCount() const override { return grid()->model()->rowCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        auto it = rows_.find(index);
        if (it == rows_.end())
            it = rows_.emplace(index, QAccessible::registerAccessibleInterface(new GridRow(grid(), index))).first;
        return QAccessible::accessibleInterface(it->second);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (const auto& [row, id] : rows_)
            if (QAccessible::accessibleInterface(id) == child)
                return row;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = grid()->viewport()->mapFromGlobal(QPoint(x, y));
        const int row = grid()->rowAt(at.y());
        return row < 0 ? nullptr : child(row);
    }
    QAccessibleInterface* focusChild() const override
    {
        return grid()->hasFocus() && grid()->currentIndex().isValid() ? child(grid()->currentIndex().row()) : nullptr;
    }

private:
    dw_search* grid() const { return static_cast<dw_search*>(widget()); }
    void forget()
    {
        for (const auto& [row, id] : rows_)
            QAccessible::deleteAccessibleInterface(id);
        rows_.clear();
    }

    mutable std::unordered_map<int, QAccessible::Id> rows_;
};

QAccessibleInterface* factory(const QString& key, QObject* object)
{
    if (key == QLatin1String("dw_search"))
        if (auto* grid = qobject_cast<dw_search*>(object))
            return new GridAccessible(grid);
    return nullptr;
}

} // namespace

void installGridAccessibility()
{
    static const bool installed = (QAccessible::installFactory(factory), true);
    (void)installed;
}

void announceFocusedRow(dw_search* grid, int row)
{
    if (!QAccessible::isActive() || row < 0)
        return;
    QAccessibleEvent event(grid, QAccessible::Focus);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
}
