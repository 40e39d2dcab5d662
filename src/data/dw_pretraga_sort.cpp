#include "data/dw_pretraga_sort.h"

#include "data/dw_pretraga.h"

#include <QCollator>

#include <algorithm>
#include <numeric>
#include <optional>

namespace dw_pretraga {

bool sortable(int column) { return column == Adresa || column == Datum || column == Lot; }

std::vector<int> ascendingOrder(const std::vector<faq::Row>& rows, int column, const QLocale& locale)
{
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (column == Datum) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const auto& x = rows[static_cast<std::size_t>(a)].datum;
            const auto& y = rows[static_cast<std::size_t>(b)].datum;
            return y && (!x || *x < *y);
        });
        return order;
    }
    if (column != Adresa && column != Lot)
        return order;
    // One key for each text, made once: comparing keys is a byte comparison,
    // comparing the texts themselves would collate them anew every time.
    QCollator collator(locale);
    collator.setNumericMode(true);
    std::vector<std::optional<QCollatorSortKey>> keys;
    keys.reserve(rows.size());
    for (const faq::Row& row : rows) {
        const auto& text = column == Adresa ? row.adresa : row.lot;
        keys.push_back(text ? std::optional(collator.sortKey(*text)) : std::nullopt);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto& x = keys[static_cast<std::size_t>(a)];
        const auto& y = keys[static_cast<std::size_t>(b)];
        return y && (!x || x->compare(*y) < 0);
    });
    return order;
}

} // namespace dw_pretraga
