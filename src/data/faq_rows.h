#pragma once
// The rows of the grid's select, read over a connection of their own.

#include "runtime/odbc.h"
#include "runtime/transaction.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
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

// A test the database makes before the rows are read, so that fewer are:
// it holds for every row the filter keeps, and may hold for more. Each term
// is "the column matches the pattern", a LIKE pattern with \ as its escape
// in which every letter of the ASCII range except i, k and s stands for
// itself in either case and `_` for any one character (see
// search::Filter::narrowing). The terms combine strictly from the top,
// ((t1 j1 t2) j2 t3)..., each join an AND or an OR.
struct Narrowing {
    struct Term {
        TextColumn column;
        QString pattern;
        bool orWithPrevious = false;  // joined to the terms above by OR, else AND
    };
    std::vector<Term> terms;  // none: every row is read
};

// Decides row by row, as they are read, which rows are kept.
struct RowFilter {
    // The columns keep() looks in besides adresa and lot, which it always
    // gets. They are read for the decision only and not kept.
    std::vector<TextColumn> columns;
    // Decides from the texts alone: a loader that falls back to reading
    // row by row asks again about the rows it had already read.
    std::function<bool(const RowTexts&)> keep;
    // Where the database can check it in the same way on every product it
    // is asked to; otherwise every row is read and keep() decides alone.
    Narrowing narrowing;
};

// What a retrieval leaves behind: its connection, its read already ended,
// and the statement whose rows the driver still holds. Letting go of them
// frees the driver's copy of the rows, which takes the SQLite driver several
// milliseconds for the largest table; a caller with time to spare later may
// take them over (see loadRows) and let go of them then.
struct Leftover {
    odbc::Connection connection;
    std::optional<odbc::Statement> statement;  // after the connection, so freed before it
    // SQLite: the database file the connection opened, as it was then.
    std::optional<rt::FileIdentity> file;
    // SQLite: the second connection's, where the table was read in two halves at once.
    std::unique_ptr<Leftover> upper;
    // A server: not empty while the connection is inside a read-only
    // transaction of one state of the server, which this holds as that
    // transaction saw it first (see stillCurrent); the next read reads in it.
    QString openReadAt;
};

// Every entry as one read found them, and the connection they were read
// over, kept to tell later whether the database still holds exactly these.
// SQLite counts the changes other connections commit to a database file
// (PRAGMA data_version); a PostgreSQL server tells which transactions have
// ended and which run (its snapshot), and when it started. Either is taken in
// the read.
struct Snapshot {
    rt::ConnectionSettings settings;
    std::shared_ptr<const std::vector<Row>> rows;
    // The connection; the statement until the rows are shown. A server's
    // read hands its connection on as the spare then (see endRead).
    Leftover kept;
    std::optional<rt::FileIdentity> file;  // the SQLite database file it opened; empty on a server
    QString version;  // empty where the database cannot tell (any product but these two)

    // Whether stillCurrent() can ever vouch for the rows.
    bool vouchable() const { return !version.isEmpty(); }
};

// A connection a read left open for the next read with the same settings:
// on a server a log-in costs about a fifth of reading every entry. On
// SQLite a filter's read goes over two (see loadRows), each opened in about
// half a millisecond, a twentieth of the read, the second's read waiting
// for its opening; kept, both serve while the file is the one they opened.
struct Spare {
    rt::ConnectionSettings settings;
    odbc::Connection connection;
    std::optional<rt::FileIdentity> file;  // SQLite: the file both opened
    odbc::Connection second;               // SQLite: the upper half's, or none
    QString openReadAt;                    // a server: as in Leftover
};
// The connection of a finished read as a spare (its statement let go, its
// transaction ended unless begun for the next read), or null where it is
// not worth keeping.
std::unique_ptr<Spare> spareOf(const rt::ConnectionSettings& settings, Leftover&& finished);

// Reads every entry as loadRows() does, into a snapshot, over the spare
// when it has these settings (and again over a new connection when that
// read fails: a connection left open may have been lost meanwhile); the
// spare is used up either way. On failure the snapshot is null and the
// outcome says why.
odbc::Outcome readSnapshot(const rt::ConnectionSettings& settings, std::unique_ptr<Snapshot>& snapshot,
                           std::unique_ptr<Spare>& spare);

// Makes a program's first Search wait less; for the reader's thread once
// the window is up. On SQLite every entry is read into `snapshot` (as
// readSnapshot() reads them, kept where stillCurrent() can vouch for them);
// on a server the log-in is made into `spare`, which the Search reads over.
// Nothing is done where either is there already; on failure both stay as
// they were, and the Search says why.
void prepareFirstSearch(const rt::ConnectionSettings& settings, std::unique_ptr<Snapshot>& snapshot,
                        std::unique_ptr<Spare>& spare);

// Once the snapshot's rows are shown: the driver's copy of them is let go
// of, and a server's connection becomes the spare, which is let go of in
// its turn when no read comes for a while. SQLite's stays with the snapshot.
// A transaction still open on the spare ends here.
void endRead(Snapshot& snapshot, std::unique_ptr<Spare>& spare);

// Whether the grid's select, run now with these settings, would read exactly
// the snapshot's rows: the same settings, the same database file under the
// data source's name, and no change committed to it since. Asks the
// database (a server over the spare or a new connection, which is the spare
// afterwards); false on any doubt. A server is asked as the first statement
// of a read-only transaction of one state, left open on the spare: when the
// rows have changed, the read that follows reads in it, and when they have
// not, endRead() ends it once the rows are shown. Either way the Search
// waits for no further exchange with the server.
bool stillCurrent(Snapshot& snapshot, const rt::ConnectionSettings& settings, std::unique_ptr<Spare>& spare);

// Whether the filter looks only in the texts a listed row holds (address
// and lot), so that it can pick from listed rows instead of a new read.
bool looksOnlyInListedTexts(const RowFilter& filter);
// The rows the filter keeps, in their order; only for such a filter.
std::vector<Row> rowsKept(const std::vector<Row>& rows, const RowFilter& filter);

// Connects with a copy of the settings, runs the grid's select, reads every
// row in blocks of blockRows, rolls back (nothing was changed) and
// disconnects. On failure rows is left as it was.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, std::size_t blockRows = 512);
// The same, keeping only the rows the filter keeps, in the order read.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter& filter,
                       std::size_t blockRows = 512);
// Either of the two (filter may be null), over the spare as readSnapshot()
// uses it, handing the connection and the statement over in `leftover`
// instead of letting go of them; nothing is handed over when no connection
// was made.
odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter* filter,
                       std::unique_ptr<Leftover>& leftover, std::unique_ptr<Spare>& spare);

} // namespace faq
