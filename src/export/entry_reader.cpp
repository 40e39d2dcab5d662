#include "export/entry_reader.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <cstdint>
#include <utility>

namespace output {
namespace {

enum : SQLUSMALLINT { RbrColumn = 1, AdresaColumn, PitanjeColumn, DatumColumn, ProizvodColumn, LotColumn, OdgovorColumn };

// The text columns in select order (a driver may not go back to an earlier
// column), with the bytes their bound buffers hold: the question and the
// answer are the long ones. A longer text is read again on its own. Not
// more: the SQLite driver fills the rest of a binary buffer with zeros for
// every cell (twice these sizes make its fetch a third slower).
struct TextColumn {
    SQLUSMALLINT number;
    QAnyStringView EntryView::*member;
    std::size_t boundBytes;
};
constexpr std::array<TextColumn, 5> textColumns{{{AdresaColumn, &EntryView::adresa, 512},
                                                 {PitanjeColumn, &EntryView::pitanje, 2048},
                                                 {ProizvodColumn, &EntryView::proizvod, 512},
                                                 {LotColumn, &EntryView::lot, 512},
                                                 {OdgovorColumn, &EntryView::odgovor, 2048}}};
using Texts = std::array<std::optional<QString>, textColumns.size()>;

const QString selectEvery = QStringLiteral("SELECT rbr, adresa, pitanje, datum, proizvod, lot, odgovor FROM faq");
const QString selectOne = selectEvery + QStringLiteral(" WHERE rbr = ?");

std::optional<QString> kept(QAnyStringView text) { return text.isNull() ? std::nullopt : std::optional(text.toString()); }
QAnyStringView viewOf(const std::optional<QString>& text) { return text ? QAnyStringView(*text) : QAnyStringView(); }

// Each listed number's place, and which of them were found. An open
// addressing table rather than std::unordered_map: a lookup for each of
// 32767 rows is one cache miss instead of a chain of them.
class Places {
public:
    explicit Places(const std::vector<qint64>& numbers) : found_(numbers.size(), false)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * numbers.size())
            capacity *= 2;
        slots_.assign(capacity, {0, none});
        mask_ = capacity - 1;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            Slot& slot = slotOf(numbers[i]);
            if (slot.place == none) {  // a number listed twice keeps its first place
                slot = {numbers[i], i};
                ++listed_;
            }
        }
    }
    // The place of a row with that number, marked found; nullopt when it was not listed.
    std::optional<std::size_t> take(qint64 rbr)
    {
        const std::size_t place = slotOf(rbr).place;
        if (place == none)
            return std::nullopt;
        if (!found_[place]) {
            found_[place] = true;
            ++foundCount_;
        }
        return place;
    }
    // The entry at that place turned out to be gone after all.
    void forget(std::size_t place)
    {
        if (found_[place]) {
            found_[place] = false;
            --foundCount_;
        }
    }
    std::size_t missing() const { return listed_ - foundCount_; }

private:
    static constexpr std::size_t none = SIZE_MAX;
    struct Slot {
        qint64 rbr;
        std::size_t place;
    };
    // The slot that holds the number, or the empty one where it would go.
    Slot& slotOf(qint64 rbr)
    {
        std::size_t i = static_cast<std::size_t>((static_cast<quint64>(rbr) * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
        while (slots_[i].place != none && slots_[i].rbr != rbr)
            i = (i + 1) & mask_;
        return slots_[i];
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::vector<bool> found_;
    std::size_t listed_ = 0;
    std::size_t foundCount_ = 0;
};

// A fetched text as it stands in its buffer; an empty view for null.
QAnyStringView viewOf(const odbc::BoundTexts& texts, std::size_t row)
{
    if (texts.isNull(row))
        return {};
    const qsizetype n = static_cast<qsizetype>(texts.bytesOf(row));
    if (texts.utf8())
        return QUtf8StringView(texts.at(row), n);
    return QStringView(reinterpret_cast<const char16_t*>(texts.at(row)), n / qsizetype(sizeof(SQLWCHAR)));
}

// A read's own connection, and the statement whose rows the driver still
// holds after they were fetched.
struct Session {
    odbc::Connection connection;
    std::optional<odbc::Statement> rows;  // after the connection, so freed before it
};

// Reads one entry by its number, the number bound: a statement prepared
// once and run for as many numbers as needed.
class ByNumber {
public:
    explicit ByNumber(odbc::Connection& connection)
    {
        statement_ = connection.statement(prepared_);
        if (!statement_)
            return;
        odbc::Statement& s = *statement_;
        prepared_ = s.prepare(selectOne);
        if (prepared_.status == 0)
            prepared_ = s.checked(
                SQLBindParameter(s.get(), 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &number_, 0, &numberIndicator_));
    }

    // Status 0 with the entry in view (valid until the next read), or 100
    // when no entry has that number.
    odbc::Outcome read(qint64 number, EntryView& view)
    {
        if (prepared_.status != 0)
            return prepared_;
        odbc::Statement& s = *statement_;
        number_ = number;
        odbc::Outcome outcome = s.execute();
        if (outcome.status == 0)
            outcome = s.fetch();
        // Every cell with SQLGetData, in select order, texts in chunks.
        for (std::size_t k = 0; k < textColumns.size() && outcome.status == 0; ++k) {
            if (textColumns[k].number == ProizvodColumn)
                outcome = s.checked(
                    SQLGetData(s.get(), DatumColumn, SQL_C_TYPE_TIMESTAMP, &datum_, sizeof datum_, &datumIndicator_));
            if (outcome.status == 0)
                outcome = s.getText(textColumns[k].number, texts_[k]);
        }
        s.closeCursor();
        if (outcome.status != 0)
            return outcome;
        view.rbr = number;
        view.datum = datumIndicator_ == SQL_NULL_DATA ? nullptr : &datum_;
        for (std::size_t k = 0; k < textColumns.size(); ++k)
            view.*textColumns[k].member = viewOf(texts_[k]);
        return {};
    }

private:
    std::optional<odbc::Statement> statement_;
    odbc::Outcome prepared_;
    SQLBIGINT number_ = 0;
    SQLLEN numberIndicator_ = 0;
    Texts texts_;
    SQL_TIMESTAMP_STRUCT datum_{};
    SQLLEN datumIndicator_ = 0;
};

// A listed entry with a text longer than its bound buffer, to be read again by its number.
struct ReadLater {
    qint64 rbr;
    std::size_t place;
};

// Every row in blocks into bound column-wise buffers; a listed row with a
// text longer than its buffer is read again in the block where the driver
// can, else it is left for later.
odbc::Outcome readBlocks(Session& session, std::size_t blockRows, Places& places, const TakeEntry& take,
                         std::vector<ReadLater>& later)
{
    const bool insideBlock = odbc::canReadInsideBlock(session.connection);
    const bool utf8 = odbc::handsOverUtf8(session.connection);

    // Declared before the statement, so they outlive it: the driver writes into them.
    std::vector<SQLBIGINT> rbr(blockRows);
    std::vector<SQLLEN> rbrIndicators(blockRows);
    std::vector<SQL_TIMESTAMP_STRUCT> datum(blockRows);
    std::vector<SQLLEN> datumIndicators(blockRows);
    std::vector<odbc::BoundTexts> texts;
    texts.reserve(textColumns.size());
    for (const TextColumn& column : textColumns)
        texts.emplace_back(blockRows, column.boundBytes, utf8);
    Texts longTexts;
    std::vector<SQLUSMALLINT> rowStatus(blockRows);
    SQLULEN fetched = 0;
    std::size_t seen = 0;

    odbc::Outcome outcome;
    session.rows = session.connection.statement(outcome);
    if (!session.rows)
        return outcome;
    odbc::Statement& s = *session.rows;
    const odbc::Unbinding unbinding(s);
    outcome = odbc::fetchInBlocks(s, blockRows, &fetched, rowStatus.data());
    if (outcome.status < 0)
        return outcome;
    outcome = s.executeDirect(selectEvery);
    if (outcome.status < 0)
        return outcome;
    outcome = s.checked(SQLBindCol(s.get(), RbrColumn, SQL_C_SBIGINT, rbr.data(), sizeof(SQLBIGINT), rbrIndicators.data()));
    if (outcome.status == 0)
        outcome = s.checked(SQLBindCol(s.get(), DatumColumn, SQL_C_TYPE_TIMESTAMP, datum.data(),
                                       sizeof(SQL_TIMESTAMP_STRUCT), datumIndicators.data()));
    for (std::size_t k = 0; k < texts.size() && outcome.status == 0; ++k)
        outcome = texts[k].bind(s, textColumns[k].number);
    if (outcome.status < 0)
        return outcome;

    for (;;) {
        outcome = s.fetch();
        if (outcome.status == 100)
            return {};
        if (outcome.status < 0)
            return outcome;
        for (std::size_t i = 0; i < fetched; ++i) {
            ++seen;
            if (rowStatus[i] == SQL_ROW_ERROR)
                return odbc::failedWith(outcome, QStringLiteral("Row %1 could not be read.").arg(seen));
            if (rbrIndicators[i] == SQL_NULL_DATA)
                continue;  // no number: nothing lists it
            const std::optional<std::size_t> place = places.take(rbr[i]);
            if (!place)
                continue;
            EntryView view;
            view.rbr = rbr[i];
            view.datum = datumIndicators[i] == SQL_NULL_DATA ? nullptr : &datum[i];
            bool whole = true;
            for (std::size_t k = 0; k < texts.size() && whole; ++k) {
                QAnyStringView& target = view.*textColumns[k].member;
                if (!texts[k].truncated(i)) {
                    target = viewOf(texts[k], i);
                } else if (!insideBlock) {
                    later.push_back({rbr[i], *place});
                    whole = false;
                } else {
                    odbc::Outcome reread = s.checked(
                        SQLSetPos(s.get(), static_cast<SQLSETPOSIROW>(i + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
                    if (reread.status == 0)
                        reread = s.getText(textColumns[k].number, longTexts[k]);
                    if (reread.status != 0)
                        return odbc::failedWith(reread, QStringLiteral("A long text of row %1 could not be read.").arg(seen));
                    target = viewOf(longTexts[k]);
                }
            }
            if (whole)
                take(*place, view);
        }
    }
}

// Runs `read` on a connection of its own in one read transaction, which is
// rolled back (nothing was changed) at once. The driver's copy of the rows
// and the connection go then too, or, where `release` is given and the read
// worked, when it is called: for the largest table freeing them takes
// 20-30 ms, which can pass while the rows are written out.
template <class Read>
odbc::Outcome inReadTransaction(const rt::ConnectionSettings& settings, Read read, std::function<void()>* release = nullptr)
{
    rt::ConnectionSettings own = settings;
    own.autoCommit = false;  // every statement of the read sees the same data
    auto session = std::make_shared<Session>();
    odbc::Outcome outcome = own.open(session->connection);
    if (outcome.status < 0)
        return outcome;
    outcome = read(*session);
    session->connection.rollback();
    auto letGo = [session] {
        session->rows.reset();
        session->connection.close();
    };
    if (release && outcome.ok())
        *release = letGo;
    else
        letGo();
    return outcome;
}

} // namespace

Entry toEntry(const EntryView& view)
{
    Entry entry;
    entry.rbr = view.rbr;
    entry.adresa = kept(view.adresa);
    entry.pitanje = kept(view.pitanje);
    if (const SQL_TIMESTAMP_STRUCT* ts = view.datum) {
        const QDate date(ts->year, ts->month, ts->day);
        const QTime time(ts->hour, ts->minute, ts->second, static_cast<int>(ts->fraction / 1'000'000));
        if (date.isValid() && time.isValid())
            entry.datum = QDateTime(date, time, Qt::UTC);
    }
    entry.proizvod = kept(view.proizvod);
    entry.lot = kept(view.lot);
    entry.odgovor = kept(view.odgovor);
    return entry;
}

odbc::Outcome readListed(const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers,
                         const TakeEntry& take, std::size_t& missing, std::size_t blockRows, std::function<void()>* release)
{
    Places places(numbers);
    const odbc::Outcome outcome = inReadTransaction(
        settings,
        [&](Session& session) {
            std::vector<ReadLater> later;
            odbc::Outcome read = readBlocks(session, std::max<std::size_t>(blockRows, 1), places, take, later);
            if (read.status < 0 || later.empty())
                return read;
            // In the same read transaction.
            ByNumber byNumber(session.connection);
            for (const ReadLater& entry : later) {
                EntryView view;
                read = byNumber.read(entry.rbr, view);
                if (read.status == 100)
                    places.forget(entry.place);
                else if (read.status == 0)
                    take(entry.place, view);
                else
                    return read;
            }
            return odbc::Outcome{};
        },
        release);
    if (outcome.ok())
        missing = places.missing();
    return outcome;
}

odbc::Outcome readEntries(const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers, Entries& out,
                          std::size_t blockRows)
{
    std::vector<std::optional<Entry>> byPlace(numbers.size());
    std::size_t missing = 0;
    const odbc::Outcome outcome = readListed(
        settings, numbers, [&](std::size_t place, const EntryView& view) { byPlace[place] = toEntry(view); }, missing,
        blockRows);
    if (!outcome.ok())
        return outcome;
    out = {};
    out.missing = missing;
    out.entries.reserve(numbers.size() - missing);
    for (std::optional<Entry>& entry : byPlace)
        if (entry)
            out.entries.push_back(std::move(*entry));
    return {};
}

odbc::Outcome readEntry(const rt::ConnectionSettings& settings, qint64 number, Entries& out)
{
    std::optional<Entry> found;
    const odbc::Outcome outcome = inReadTransaction(settings, [&](Session& session) {
        ByNumber byNumber(session.connection);  // the view is valid while it lives
        EntryView view;
        odbc::Outcome read = byNumber.read(number, view);
        if (read.status == 0)
            found = toEntry(view);
        return read.status == 100 ? odbc::Outcome{} : read;
    });
    if (!outcome.ok())
        return outcome;
    out = {};
    if (found)
        out.entries.push_back(std::move(*found));
    else
        out.missing = 1;
    return {};
}

} // namespace output
