#pragma once
// One entry with all seven columns of table faq, as exports and reports
// show it. Null stays apart from the empty text.

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace output {

struct Entry {
    qint64 rbr = 0;  // the table may hold numbers beyond 16 bits
    std::optional<QString> adresa;
    std::optional<QString> pitanje;
    // A timestamp without a zone, kept in UTC so no daylight-saving rule moves it.
    std::optional<QDateTime> datum;
    std::optional<QString> proizvod;
    std::optional<QString> lot;
    std::optional<QString> odgovor;
};

// What one read found: the entries in the order they were asked for, and how
// many of the numbers asked for no longer name an entry.
struct Entries {
    std::vector<Entry> entries;
    std::size_t missing = 0;
};

} // namespace output
