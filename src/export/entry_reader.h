#pragma once
// Entries read fresh for an export or a report, over a connection of their
// own made from the settings: one read transaction, rolled back and closed
// as soon as the rows are in hand. Runs on the calling thread; the windows
// call it through rt::waitFor.

#include "export/entry.h"
#include "runtime/odbc.h"
#include "runtime/transaction.h"

#include <QAnyStringView>

#include <cstddef>
#include <functional>
#include <vector>

namespace output {

// One row as the driver delivered it, its texts seen in the driver's
// buffers: valid during the call it is handed to, and no longer. A text is
// UTF-16, or the UTF-8 the database stores where the driver hands that over
// as it is (not checked: it may be invalid). A null text is a null view
// (isNull()), apart from the empty text.
struct EntryView {
    qint64 rbr = 0;
    QAnyStringView adresa;
    QAnyStringView pitanje;
    const SQL_TIMESTAMP_STRUCT* datum = nullptr;  // null for null
    QAnyStringView proizvod;
    QAnyStringView lot;
    QAnyStringView odgovor;
};

// The entry as kept; a date that names no real day (the SQLite driver lets
// some through) becomes null.
Entry toEntry(const EntryView& view);

// Takes a listed entry with its place in the list (its first place, for a
// number listed twice), once for each entry found, in no particular order.
using TakeEntry = std::function<void(std::size_t place, const EntryView& entry)>;

// Reads the seven columns of every entry in blocks of at most blockRows rows
// and hands over the listed ones; rows not listed are passed over without
// converting their texts. `missing` counts the listed numbers that name no
// entry (deleted meanwhile).
//
// The transaction ends as soon as the rows are read. Freeing the driver's
// copy of them and the connection takes a while for a large table: where
// `release` is given, a read that worked leaves that in it, to be called
// later on a thread other than the windows'.
odbc::Outcome readListed(const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers,
                         const TakeEntry& take, std::size_t& missing, std::size_t blockRows = 256,
                         std::function<void()>* release = nullptr);

// The same, kept as entries in the list's order. On failure `out` is left as it was.
odbc::Outcome readEntries(const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers, Entries& out,
                          std::size_t blockRows = 256);

// The one entry with that number, the number bound to the statement.
odbc::Outcome readEntry(const rt::ConnectionSettings& settings, qint64 number, Entries& out);

} // namespace output
