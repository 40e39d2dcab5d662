#include "data/dw_pretraga_sort.h"

#include "data/dw_pretraga.h"

#include <QCollator>

#include <algorithm>
#include <numeric>

namespace dw_pretraga {

bool sortable(int column) { return column == Adresa || column == Datum || column == Lot; }

std::vector<int> ascendingOrder(const std::vector<faq::Row>& rows, int column, const QLocale& locale,
                                const std::atomic<bool>* stop)
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
    // The texts are compared as they are, not through a sort key made for
    // each: keys for 32767 texts take megabytes, and the sort runs ahead on
    // a thread of its own where its 20-odd ms are not waited for.
    QCollator collator(locale);
    collator.setNumericMode(true);
    struct Stopped {};
    std::size_t comparisons = 0;
    try {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (stop && (++comparisons & 4095) == 0 && stop->load(std::memory_order_relaxed))
                throw Stopped{};
            const auto& x = column == Adresa ? rows[static_cast<std::size_t>(a)].adresa : rows[static_cast<std::size_t>(a)].lot;
            const auto& y = column == Adresa ? rows[static_cast<std::size_t>(b)].adresa : rows[static_cast<std::size_t>(b)].lot;
            return y && (!x || collator.compare(*x, *y) < 0);
        });
    } catch (const Stopped&) {
        return {};
    }
    return order;
}

} // namespace dw_pretraga
