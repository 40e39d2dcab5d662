#pragma once
// The orders the list can be shown in, besides the database's own.

#include "data/faq_rows.h"

#include <QLocale>

#include <atomic>
#include <vector>

namespace dw_pretraga {

enum class SortOrder { None, Ascending, Descending };

// Whether the list can be sorted by the column (the visible ones).
bool sortable(int column);

// The rows' positions in ascending order of one column: dates by time, texts
// by the locale's collation (č and ć after c in Croatian), whole numbers
// within texts by value; nulls first, ties in the database's order.
// With `stop`, the work is dropped soon after it is set: an empty order comes back.
std::vector<int> ascendingOrder(const std::vector<faq::Row>& rows, int column, const QLocale& locale,
                                const std::atomic<bool>* stop = nullptr);

} // namespace dw_pretraga
