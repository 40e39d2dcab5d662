#pragma once
// The rows of dw_pretraga as a table model: four columns, captions in the
// header, values in the definition's display formats, and the grid's own
// highlight (apart from Qt's selection, which the grid does not use).

#include "data/dw_pretraga.h"
#include "data/faq_rows.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QLocale>

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

    // Replaces every row; no row is highlighted afterwards.
    void setRows(std::vector<faq::Row> rows);
    const std::vector<faq::Row>& rows() const { return rows_; }

    // Rows are 0-based here.
    void setHighlighted(int row, bool on);
    void setAllHighlighted(bool on);
    bool isHighlighted(int row) const { return highlighted_[static_cast<std::size_t>(row)]; }
    void setHighlightColours(const QBrush& background, const QBrush& text);

private:
    QString displayText(const faq::Row& row, int column) const;
    void highlightChanged(int first, int last);

    std::vector<faq::Row> rows_;
    std::vector<bool> highlighted_;
    QLocale locale_;
    QString dateTimePattern_;
    QVariant font_;
    QVariant highlightBackground_;
    QVariant highlightText_;
};

} // namespace dw_pretraga
