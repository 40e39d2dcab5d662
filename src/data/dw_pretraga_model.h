#pragma once
// The rows of dw_pretraga as a table model: four columns, captions in the
// header, values in the definition's display formats, and the grid's own
// highlight (apart from Qt's selection, which the grid does not use).

#include "data/dw_pretraga.h"
#include "data/dw_pretraga_sort.h"
#include "data/faq_rows.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QLocale>

#include <memory>
#include <vector>

namespace dw_pretraga {

class Model : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit Model(const QLocale& locale = QLocale::system(), QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row; no row is highlighted afterwards. The sort stays;
    // `ascending`, when given, is the sort column's ascending order of the
    // new rows, made beforehand.
    void setRows(std::vector<faq::Row> rows, std::vector<int> ascending = {});
    // The same with rows shared with others (they never change).
    void setRows(std::shared_ptr<const std::vector<faq::Row>> rows, std::vector<int> ascending = {});
    // Every row, in the database's order.
    const std::vector<faq::Row>& rows() const { return *rows_; }
    // The same rows, for work on another thread that may outlive a reload.
    std::shared_ptr<const std::vector<faq::Row>> sharedRows() const { return rows_; }
    // The row shown at a place in the list (0-based), whatever the order.
    const faq::Row& shownRow(int row) const
    {
        return (*rows_)[order_.empty() ? static_cast<std::size_t>(row) : static_cast<std::size_t>(order_[static_cast<std::size_t>(row)])];
    }

    // Shows the rows in the column's order (None: the database's own).
    // `ascending`, when given, is the column's ascending order, made
    // beforehand. No row is highlighted afterwards; the view's current place
    // stays where it was.
    void sortBy(int column, SortOrder order, std::vector<int> ascending = {});
    int sortColumn() const { return sortColumn_; }
    SortOrder sortOrder() const { return sortOrder_; }
    const QLocale& locale() const { return locale_; }

    // Rows are 0-based here, as shown.
    void setHighlighted(int row, bool on);
    void setAllHighlighted(bool on);
    bool isHighlighted(int row) const { return highlighted_[static_cast<std::size_t>(row)]; }
    void setHighlightColours(const QBrush& background, const QBrush& text);

private:
    QString displayText(const faq::Row& row, int column) const;
    void highlightChanged(int first, int last);

    void applyOrder(std::vector<int> ascending);

    std::shared_ptr<const std::vector<faq::Row>> rows_;
    // Shown place -> place in rows_; empty for the database's order.
    std::vector<int> order_;
    int sortColumn_ = -1;
    SortOrder sortOrder_ = SortOrder::None;
    std::vector<bool> highlighted_;
    QLocale locale_;
    QString dateTimePattern_;
    QVariant font_;
    QVariant highlightBackground_;
    QVariant highlightText_;
};

} // namespace dw_pretraga
