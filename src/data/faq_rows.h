#pragma once
// The rows of the grid's select, read over a connection of their own.

#include "runtime/odbc.h"
#include "runtime/transaction.h"

#include <QDateTime>
#include <QString>

#include <cstddef>
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

// Connects with a copy of the settings, runs the grid's select, reads every
// row in blocks of blockRows, rolls back (nothing was changed) and
// disconnects. On failure rows is left as it was.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, std::size_t blockRows = 512);

} // namespace faq
