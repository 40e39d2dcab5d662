#pragma once
// The orders the list can be shown in, besides the database's own.

#include "data/faq_rows.h"

#include <QLocale>

#include <vector>

namespace dw_pretraga {

enum class SortOrder { None, Ascending, Descending };

// Whether the list can be sorted by the column (the visible ones).
bool sortable(int column);

// The rows' positions in ascending order of one column: dates by time, texts
// by the locale's collation (č and ć after c in Croatian), whole numbers
// within texts by value; nulls first, ties in the database's order.
std::vector<int> ascendingOrder(const std::vector<faq::Row>& rows, int column, const QLocale& locale);

} // namespace dw_pretraga
