#pragma once
// The rows of the grid's select, read over a connection of their own.

#include "runtime/odbc.h"
#include "runtime/transaction.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace faq {

// One entry as the grid lists it; null stays apart from the empty text.
struct Row {
    std::optional<qint64> rbr;  // the table may hold numbers beyond 16 bits
    std::optional<QString> adresa;
    // A timestamp without a zone, kept in UTC so no daylight-saving rule moves it.
    std::optional<QDateTime> datum;
    std::optional<QString> lot;
};

// The text columns of faq a row filter can look in.
enum class TextColumn { Adresa, Pitanje, Lot, Proizvod, Odgovor };
inline constexpr std::size_t textColumnCount = 5;

// One row's texts by column (index static_cast<std::size_t>(TextColumn)),
// each in full; nullopt for null and for columns the filter did not name.
using RowTexts = std::array<std::optional<QString>, textColumnCount>;

// Decides row by row, as they are read, which rows are kept.
struct RowFilter {
    // The columns keep() looks in besides adresa and lot, which it always
    // gets. They are read for the decision only and not kept.
    std::vector<TextColumn> columns;
    // Decides from the texts alone: a loader that falls back to reading
    // row by row asks again about the rows it had already read.
    std::function<bool(const RowTexts&)> keep;
};

// Connects with a copy of the settings, runs the grid's select, reads every
// row in blocks of blockRows, rolls back (nothing was changed) and
// disconnects. On failure rows is left as it was.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, std::size_t blockRows = 512);
// The same, keeping only the rows the filter keeps, in the order read.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter& filter,
                       std::size_t blockRows = 512);

} // namespace faq
