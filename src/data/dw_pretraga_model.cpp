#include "data/dw_pretraga_model.h"

#include <algorithm>

namespace dw_pretraga {

Model::Model(const QLocale& locale, QObject* parent)
    : QAbstractTableModel(parent),
      rows_(std::make_shared<const std::vector<faq::Row>>()),
      locale_(locale),
      dateTimePattern_(shortDateTimePattern(locale)),
      font_(font())
{
}

int Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_->size());
}

int Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QString Model::displayText(const faq::Row& row, int column) const
{
    switch (column) {
    case Rbr: return row.rbr ? QString::number(*row.rbr) : QString();
    case Adresa: return row.adresa.value_or(QString());
    case Datum: return row.datum ? locale_.toString(*row.datum, dateTimePattern_) : QString();
    case Lot: return row.lot.value_or(QString());
    }
    return {};
}

QVariant Model::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(shownRow(index.row()), index.column());
    case Qt::FontRole:
        return font_;
    case Qt::BackgroundRole:
        return highlighted_[row] ? highlightBackground_ : QVariant();
    case Qt::ForegroundRole:
        return highlighted_[row] ? highlightText_ : QVariant();
    default:
        return {};
    }
}

QVariant Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole: return columns[static_cast<std::size_t>(section)].caption.toString();
    case Qt::FontRole: return font_;
    default: return {};
    }
}

Qt::ItemFlags Model::flags(const QModelIndex& index) const
{
    // Neither selectable nor editable: the highlight is ours, and the grid only shows data.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void Model::setRows(std::vector<faq::Row> rows, std::vector<int> ascending)
{
    setRows(std::make_shared<const std::vector<faq::Row>>(std::move(rows)), std::move(ascending));
}

void Model::setRows(std::shared_ptr<const std::vector<faq::Row>> rows, std::vector<int> ascending)
{
    beginResetModel();
    rows_ = std::move(rows);
    highlighted_.assign(rows_->size(), false);
    applyOrder(std::move(ascending));
    endResetModel();
}

void Model::sortBy(int column, SortOrder order, std::vector<int> ascending)
{
    sortColumn_ = order == SortOrder::None || !sortable(column) ? -1 : column;
    sortOrder_ = sortColumn_ < 0 ? SortOrder::None : order;
    highlighted_.assign(rows_->size(), false);
    applyOrder(std::move(ascending));
    // The same number of rows, each place showing another one: a change of
    // data repaints what is in view. A reset or a layout change would make
    // the view lay out, or track, every one of the rows anew.
    if (!rows_->empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(rows_->size()) - 1, static_cast<int>(columns.size()) - 1));
}

void Model::applyOrder(std::vector<int> ascending)
{
    if (sortOrder_ == SortOrder::None) {
        order_.clear();
        return;
    }
    order_ = ascending.size() == rows_->size() ? std::move(ascending) : ascendingOrder(*rows_, sortColumn_, locale_);
    if (sortOrder_ == SortOrder::Descending)
        std::reverse(order_.begin(), order_.end());
}

void Model::highlightChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, static_cast<int>(columns.size()) - 1),
                     {Qt::BackgroundRole, Qt::ForegroundRole});
}

void Model::setHighlighted(int row, bool on)
{
    if (highlighted_[static_cast<std::size_t>(row)] == on)
        return;
    highlighted_[static_cast<std::size_t>(row)] = on;
    highlightChanged(row, row);
}

void Model::setAllHighlighted(bool on)
{
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < highlighted_.size(); ++i) {
        if (highlighted_[i] != on) {
            highlighted_[i] = on;
            if (first < 0)
                first = static_cast<int>(i);
            last = static_cast<int>(i);
        }
    }
    if (first >= 0)
        highlightChanged(first, last);
}

void Model::setHighlightColours(const QBrush& background, const QBrush& text)
{
    highlightBackground_ = background;
    highlightText_ = text;
    if (!rows_->empty())
        highlightChanged(0, static_cast<int>(rows_->size()) - 1);
}

} // namespace dw_pretraga
