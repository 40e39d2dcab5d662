#pragma once
// Entries as CSV (RFC 4180): UTF-8, a header row with the table's column
// names, one record per entry with all seven columns in the table's order,
// records ending in CR LF.
//
// Texts are always quoted, a quote inside doubled; line breaks, commas and
// every other character stay as they are. A null text is an empty field
// without quotes, so it stays apart from the empty text (""). Dates are
// ISO 8601 (2026-12-06T13:45:07, a fraction only where there is one),
// without a zone, as the table keeps them.
//
// A text that begins with = + - @, a tab or a carriage return gets an
// apostrophe before it, inside the quotes: a spreadsheet would otherwise run
// it as a formula. The apostrophe is part of the written field.

#include "export/entry_reader.h"
#include "export/whole_file.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace output {

struct CsvOptions {
    // A UTF-8 byte order mark first: Excel reads the file as UTF-8 only then.
    bool byteOrderMark = false;
};

// Whether a spreadsheet would take the text for a formula.
bool startsFormula(QAnyStringView text);

// The records of the listed entries, encoded as the rows are read (from the
// driver's own buffers, on the reader's thread) and written out in the
// list's order.
class CsvRecords {
public:
    explicit CsvRecords(std::size_t places) : records_(places) {}

    // Encodes the entry as the record of that place; a second one replaces the first.
    void add(std::size_t place, const EntryView& entry);
    // Writes the header and the records in the order of their places, whole
    // or not at all (see writeWhole).
    WriteResult write(const QString& path, const CsvOptions& options = {}, const Progress& progress = {}) const;

private:
    struct Record {
        std::uint32_t chunk = 0, offset = 0, size = 0;  // size 0: no entry at that place
    };
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0, used = 0;
    };
    // Room for at least n bytes at the end of the last chunk.
    Chunk& roomFor(std::size_t n);

    std::vector<Record> records_;
    std::vector<Chunk> chunks_;
};

} // namespace output
