#pragma once
// Realistic entries for the benchmarks: addresses of about 40 characters,
// questions and answers of a few hundred, Croatian letters among them, all
// from a fixed seed so every run fills the same table.

#include <QString>

#include <cstdint>

class ThrowawayDataSource;

namespace bench {

inline constexpr int largestTable = 32767;  // the most a 16-bit entry number can name

struct Entry {
    qint16 rbr;
    QString adresa, pitanje, datum, proizvod, lot, odgovor;
};

// The entry with the given number (1-based); the same for every run.
Entry entry(int rbr);

// Fills table faq of the data source FAQ with entries 1..count through
// ODBC, values bound, in one transaction. Throws on failure.
void fill(int count);

// Fills the throwaway data source's table as fill() does; on a server the
// table is then vacuumed and analysed, as one in daily use long has been.
// Freshly filled, the server would vacuum it in the middle of the
// measurements, and every read before that would mark its rows.
void fillSettled(const ThrowawayDataSource& source, int count);

// The database the data source FAQ names, as the driver reports it.
QString databaseName();

} // namespace bench
