#include "data/faq_rows.h"

#include "data/dw_pretraga.h"
#include "data/faq_statements.h"

#include <QStringDecoder>

#include "runtime/worker.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>

namespace faq {
namespace {

// Column numbers in the select; a filter's columns follow the grid's four.
enum : SQLUSMALLINT { RbrColumn = 1, AdresaColumn, DatumColumn, LotColumn, FirstFilterColumn };

// Names from this fixed list are all that a filter adds to the select.
constexpr std::array<QStringView, textColumnCount> columnNames{u"faq.adresa", u"faq.pitanje", u"faq.lot",
                                                               u"faq.proizvod", u"faq.odgovor"};

std::size_t indexOf(TextColumn column) { return static_cast<std::size_t>(column); }

// Where the entry numbers are split when a server's table is read in two:
// the middle of the positive 16-bit numbers.
constexpr qint64 numberSplit = 16383;

// Which rows of the table one read takes: all of them, or, when a table is
// read in two halves, those up to `split` or after it, by SQLite's rowid or
// by entry number (the lower half taking the entries without one).
struct Range {
    enum class Part { Whole, UpTo, After } part = Part::Whole;
    qint64 split = 0;
    enum class Key { Rowid, Number } key = Key::Rowid;

    QLatin1String test() const
    {
        if (key == Key::Rowid)
            return QLatin1String(part == Part::UpTo ? "faq.rowid <= ?" : "faq.rowid > ?");
        // A constant of the program's own, written out: the select then
        // needs no preparing, a round trip to the server the fewer.
        static_assert(numberSplit == 16383);
        return QLatin1String(part == Part::UpTo ? "(faq.rbr > 16383) IS NOT TRUE" : "faq.rbr > 16383");
    }
};

// What one retrieval reads and how it decides which rows to keep.
class Plan {
public:
    explicit Plan(const RowFilter* filter) : filter_(filter && filter->keep ? filter : nullptr)
    {
        if (!filter_)
            return;
        std::array<bool, textColumnCount> wanted{};
        for (TextColumn column : filter_->columns)
            wanted[indexOf(column)] = true;
        // The grid reads these two anyway.
        wanted[indexOf(TextColumn::Adresa)] = wanted[indexOf(TextColumn::Lot)] = false;
        for (std::size_t i = 0; i < textColumnCount; ++i)
            if (wanted[i])
                extra_.push_back(static_cast<TextColumn>(i));
    }

    // The grid's select with the filter's columns after its own and, where
    // the database can narrow the rows (likeOperator not empty), the
    // narrowing's terms, every pattern bound; for half of the table, the
    // half's test on the rowid after them, its split bound too.
    QString select(QLatin1String likeOperator, const Range& range) const
    {
        QString sql = dw_pretraga::select.toString();
        QString names;
        for (TextColumn column : extra_) {
            names += QLatin1String(", ");
            names += columnNames[indexOf(column)];
        }
        sql.insert(sql.indexOf(u" FROM "), names);
        QString where;
        if (narrows(likeOperator))
            for (const Narrowing::Term& term : filter_->narrowing.terms) {
                const QString test =
                    columnNames[indexOf(term.column)].toString() + u' ' + likeOperator + QLatin1String(" ? ESCAPE '\\'");
                where = where.isEmpty() ? test
                                        : u'(' + where +
                                              (term.orWithPrevious ? QLatin1String(" OR ") : QLatin1String(" AND ")) +
                                              test + u')';
            }
        if (range.part != Range::Part::Whole)
            where = where.isEmpty() ? QString(range.test()) : u'(' + where + QLatin1String(") AND ") + range.test();
        return where.isEmpty() ? sql : sql + QLatin1String(" WHERE ") + where;
    }
    std::vector<odbc::Param> params(QLatin1String likeOperator, const Range& range) const
    {
        std::vector<odbc::Param> out;
        if (narrows(likeOperator))
            for (const Narrowing::Term& term : filter_->narrowing.terms)
                out.push_back(odbc::Param::of(std::optional(term.pattern)));
        if (range.part != Range::Part::Whole && range.key == Range::Key::Rowid)
            out.push_back(odbc::Param::ofWide(range.split));
        return out;
    }
    std::size_t extraCount() const { return extra_.size(); }
    bool filters() const { return filter_ != nullptr; }
    static SQLUSMALLINT extraNumber(std::size_t i) { return static_cast<SQLUSMALLINT>(FirstFilterColumn + i); }

    // Whether the row is kept; the filter's own texts are used up.
    bool keeps(const Row& row, std::vector<std::optional<QString>>& extraTexts) const
    {
        if (!filter_)
            return true;
        RowTexts texts;
        texts[indexOf(TextColumn::Adresa)] = row.adresa;
        texts[indexOf(TextColumn::Lot)] = row.lot;
        for (std::size_t i = 0; i < extra_.size(); ++i)
            texts[indexOf(extra_[i])] = std::move(extraTexts[i]);
        return filter_->keep(texts);
    }

private:
    bool narrows(QLatin1String likeOperator) const
    {
        return filter_ && !likeOperator.isEmpty() && !filter_->narrowing.terms.empty();
    }

    const RowFilter* filter_;
    std::vector<TextColumn> extra_;
};

// The operator that compares as a narrowing's patterns expect: letters of
// the ASCII range in either case, every other character as itself. SQLite's
// LIKE does; PostgreSQL's LIKE heeds case, its ILIKE folds by the server's
// locale, which the patterns allow for. Empty where the product is not
// known to: its rows are then all read.
QLatin1String likeOperatorOf(const odbc::Connection& connection)
{
    const QString product = connection.info(SQL_DBMS_NAME);
    if (product == QLatin1String("SQLite"))
        return QLatin1String("LIKE");
    if (product == QLatin1String("PostgreSQL"))
        return QLatin1String("ILIKE");
    return {};
}

// Runs the select of the plan for the range on the statement.
odbc::Outcome runSelect(odbc::Statement& s, const Plan& plan, QLatin1String likeOperator, const Range& range)
{
    std::vector<odbc::Param> params = plan.params(likeOperator, range);
    if (params.empty())
        return s.executeDirect(plan.select(likeOperator, range));
    odbc::Outcome outcome = s.prepare(plan.select(likeOperator, range));
    if (outcome.status >= 0)
        outcome = s.bind(params);
    if (outcome.status >= 0)
        outcome = s.execute();
    return outcome;
}

// A longer text is read again in full with SQLGetData.
constexpr std::size_t boundTextUnits = 256;

std::optional<QDateTime> toDateTime(const SQL_TIMESTAMP_STRUCT& ts)
{
    const QDate date(ts.year, ts.month, ts.day);
    const QTime time(ts.hour, ts.minute, ts.second, static_cast<int>(ts.fraction / 1'000'000));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

// One text column's block buffers and the texts made of them: the UTF-8 the
// database holds where the driver hands it over as it is (decoded here, a
// good deal faster than the drivers convert), else UTF-16 from the driver.
class BoundText {
public:
    BoundText(std::size_t rows, bool utf8) : buffers_(rows, utf8 ? utf8Bytes : boundTextUnits * sizeof(SQLWCHAR), utf8) {}

    odbc::Outcome bind(odbc::Statement& s, SQLUSMALLINT column) { return buffers_.bind(s, column); }
    bool truncated(std::size_t row) const { return buffers_.truncated(row); }
    std::optional<QString> value(std::size_t row)
    {
        if (isNull(row))
            return std::nullopt;
        if (!block_.ptr || lengths_[row] == 0) {
            if (!buffers_.utf8())
                return odbc::fromWide(reinterpret_cast<const SQLWCHAR*>(at(row)), bytesOf(row) / sizeof(SQLWCHAR));
            QString text(static_cast<qsizetype>(bytesOf(row)), Qt::Uninitialized);
            text.truncate(decode(row, text.data()) - text.constData());
            return text;
        }
        // A string of its own that shares the block's allocation.
        QStringPrivate cell(block_);
        cell.ptr = block_.ptr + offsets_[row];
        cell.size = static_cast<qsizetype>(lengths_[row]);
        return QString(std::move(cell));
    }

    // Copies the texts of the block's first `rows` rows into one allocation
    // that the strings value() returns share, each as a QString of its own
    // (copied on its first change): one allocation per block instead of one
    // per cell, to make and to free. Only where every row is kept, as a few
    // kept rows would hold on to every block. Long texts are read apart.
    void pack(std::size_t rows)
    {
        offsets_.resize(rows);
        lengths_.assign(rows, 0);
        std::size_t total = 0;
        for (std::size_t i = 0; i < rows; ++i) {
            offsets_[i] = total;
            if (!isNull(i) && !truncated(i))  // a byte of UTF-8 is never more than one unit of UTF-16
                total += (buffers_.utf8() ? bytesOf(i) : bytesOf(i) / sizeof(SQLWCHAR)) + 1;  // each keeps a terminator
        }
        block_ = QStringPrivate(QTypedArrayData<char16_t>::allocate(static_cast<qsizetype>(total + 1)));
        if (!block_.ptr)
            return;  // value() falls back on a string per cell
        for (std::size_t i = 0; i < rows; ++i) {
            if (isNull(i) || truncated(i))
                continue;
            char16_t* target = block_.ptr + offsets_[i];
            std::size_t n = bytesOf(i) / sizeof(SQLWCHAR);
            if (buffers_.utf8())
                n = static_cast<std::size_t>(decode(i, reinterpret_cast<QChar*>(target)) - reinterpret_cast<QChar*>(target));
            else
                std::memcpy(target, at(i), n * sizeof(char16_t));
            target[n] = u'\0';
            lengths_[i] = n;
        }
    }

private:
    // 256 units of UTF-16 are at most 768 bytes of UTF-8.
    static constexpr std::size_t utf8Bytes = boundTextUnits * 3;

    bool isNull(std::size_t row) const { return buffers_.isNull(row); }
    const char* at(std::size_t row) const { return buffers_.at(row); }
    std::size_t bytesOf(std::size_t row) const { return buffers_.bytesOf(row); }
    // Unit for unit as the database holds it: a leading U+FEFF is a
    // character of the text, not a byte order mark.
    QChar* decode(std::size_t row, QChar* out)
    {
        return decoder_.appendToBuffer(out, QByteArrayView(at(row), static_cast<qsizetype>(bytesOf(row))));
    }

    odbc::BoundTexts buffers_;
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    QStringPrivate block_;  // null until pack()
    std::vector<std::size_t> offsets_;
    std::vector<std::size_t> lengths_;
};

enum class BlockResult { Complete, NeedsRowByRow };

// Where the driver knows how many rows the select delivers (both drivers
// do, having read them all at the execute), room for them at once: growing
// the array row by row would copy it a dozen times and, at its last growth,
// hold the old and the new array together at the listing's peak.
// A lower half read before the upper one leaves room for about as many
// again (pages never written cost nothing).
void reserveForResult(odbc::Statement& s, const Range& range, std::vector<Row>& rows)
{
    constexpr SQLLEN believable = SQLLEN{1} << 20;
    SQLLEN count = 0;
    if (SQL_SUCCEEDED(SQLRowCount(s.get(), &count)) && count > 0 && count <= believable) {
        auto room = static_cast<std::size_t>(count);
        if (range.part == Range::Part::UpTo && range.key == Range::Key::Number)
            room += room + room / 8;
        rows.reserve(rows.size() + room);
    }
}

// The fast path: blocks of rows into bound column-wise buffers.
odbc::Outcome readBlocks(odbc::Connection& connection, odbc::Statement& s, const Plan& plan, const Range& range,
                         std::size_t blockRows, std::vector<Row>& rows, BlockResult& result)
{
    result = BlockResult::Complete;
    const bool insideBlock = odbc::canReadInsideBlock(connection);
    const bool utf8 = odbc::handsOverUtf8(connection);

    // Declared before the statement, so they outlive it: the driver writes into them.
    std::vector<SQLBIGINT> rbr(blockRows);
    std::vector<SQLLEN> rbrIndicators(blockRows);
    BoundText adresa(blockRows, utf8);
    std::vector<SQL_TIMESTAMP_STRUCT> datum(blockRows);
    std::vector<SQLLEN> datumIndicators(blockRows);
    BoundText lot(blockRows, utf8);
    std::vector<BoundText> extra;
    extra.reserve(plan.extraCount());
    for (std::size_t e = 0; e < plan.extraCount(); ++e)
        extra.emplace_back(blockRows, utf8);
    std::vector<std::optional<QString>> extraTexts(plan.extraCount());
    std::vector<SQLUSMALLINT> rowStatus(blockRows);
    SQLULEN fetched = 0;
    std::size_t seen = 0;  // rows read, kept or not

    odbc::Outcome outcome;
    // The statement outlives these buffers when its rows are freed later.
    const odbc::Unbinding unbinding(s);

    outcome = odbc::fetchInBlocks(s, blockRows, &fetched, rowStatus.data());
    if (outcome.status < 0)
        return outcome;
    outcome = runSelect(s, plan, likeOperatorOf(connection), range);
    if (outcome.status < 0)
        return outcome;
    if (!plan.filters())  // a filter may keep far fewer than are read
        reserveForResult(s, range, rows);
    for (odbc::Outcome bound :
         {s.checked(SQLBindCol(s.get(), RbrColumn, SQL_C_SBIGINT, rbr.data(), sizeof(SQLBIGINT), rbrIndicators.data())),
          adresa.bind(s, AdresaColumn),
          s.checked(SQLBindCol(s.get(), DatumColumn, SQL_C_TYPE_TIMESTAMP, datum.data(), sizeof(SQL_TIMESTAMP_STRUCT),
                               datumIndicators.data())),
          lot.bind(s, LotColumn)}) {
        if (bound.status < 0)
            return bound;
    }
    for (std::size_t e = 0; e < extra.size(); ++e) {
        outcome = extra[e].bind(s, Plan::extraNumber(e));
        if (outcome.status < 0)
            return outcome;
    }
    // In column order, as they are read again: a driver may not go back to an earlier column.
    std::vector<std::pair<BoundText*, SQLUSMALLINT>> textColumns = {{&adresa, AdresaColumn}, {&lot, LotColumn}};
    for (std::size_t e = 0; e < extra.size(); ++e)
        textColumns.emplace_back(&extra[e], Plan::extraNumber(e));

    for (;;) {
        outcome = s.fetch();
        if (outcome.status == 100)
            return {};
        if (outcome.status < 0)
            return outcome;
        if (!plan.filters())
            for (const auto& [column, number] : textColumns)
                column->pack(fetched);
        for (std::size_t i = 0; i < fetched; ++i) {
            ++seen;
            if (rowStatus[i] == SQL_ROW_ERROR)
                return odbc::failedWith(outcome, QStringLiteral("Row %1 could not be read.").arg(seen));
            Row row;
            if (rbrIndicators[i] != SQL_NULL_DATA)
                row.rbr = rbr[i];
            if (datumIndicators[i] != SQL_NULL_DATA)
                row.datum = toDateTime(datum[i]);
            for (std::size_t k = 0; k < textColumns.size(); ++k) {
                const auto [column, number] = textColumns[k];
                std::optional<QString>& target = k == 0 ? row.adresa : k == 1 ? row.lot : extraTexts[k - 2];
                if (!column->truncated(i)) {
                    target = column->value(i);
                    continue;
                }
                // A filter's text too is matched in full, never by its bound part.
                if (!insideBlock) {
                    result = BlockResult::NeedsRowByRow;
                    return {};
                }
                odbc::Outcome reread =
                    s.checked(SQLSetPos(s.get(), static_cast<SQLSETPOSIROW>(i + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
                if (reread.status == 0)
                    reread = s.getText(number, target);
                if (reread.status != 0)
                    return odbc::failedWith(reread, QStringLiteral("A long text of row %1 could not be read.").arg(seen));
            }
            if (plan.keeps(row, extraTexts))
                rows.push_back(std::move(row));
        }
    }
}

// The slow path for drivers that cannot read a long text again inside a
// block: one row at a time, every cell with SQLGetData, texts in chunks.
odbc::Outcome readRowByRow(odbc::Connection& connection, const Plan& plan, const Range& range, std::vector<Row>& rows)
{
    std::vector<std::optional<QString>> extraTexts(plan.extraCount());
    std::size_t seen = 0;  // rows read, kept or not
    odbc::Outcome outcome;
    auto statement = connection.statement(outcome);
    if (!statement)
        return outcome;
    odbc::Statement& s = *statement;
    outcome = runSelect(s, plan, likeOperatorOf(connection), range);
    if (outcome.status < 0)
        return outcome;
    for (;;) {
        outcome = s.fetch();
        if (outcome.status == 100)
            return {};
        if (outcome.status < 0)
            return outcome;
        ++seen;
        Row row;
        SQLBIGINT rbr = 0;
        SQL_TIMESTAMP_STRUCT datum{};
        SQLLEN rbrIndicator = 0;
        SQLLEN datumIndicator = 0;
        // Column by column in select order, which every driver allows.
        odbc::Outcome read = s.checked(SQLGetData(s.get(), RbrColumn, SQL_C_SBIGINT, &rbr, sizeof rbr, &rbrIndicator));
        if (read.status == 0)
            read = s.getText(AdresaColumn, row.adresa);
        if (read.status == 0)
            read = s.checked(SQLGetData(s.get(), DatumColumn, SQL_C_TYPE_TIMESTAMP, &datum, sizeof datum, &datumIndicator));
        if (read.status == 0)
            read = s.getText(LotColumn, row.lot);
        for (std::size_t e = 0; e < extraTexts.size() && read.status == 0; ++e)
            read = s.getText(Plan::extraNumber(e), extraTexts[e]);
        if (read.status != 0)
            return odbc::failedWith(read, QStringLiteral("Row %1 could not be read.").arg(seen));
        if (rbrIndicator != SQL_NULL_DATA)
            row.rbr = rbr;
        if (datumIndicator != SQL_NULL_DATA)
            row.datum = toDateTime(datum);
        if (plan.keeps(row, extraTexts))
            rows.push_back(std::move(row));
    }
}

// Reads over a connection that is open, after the rows already in `read`;
// the read stays open and the statement in `taken`.
odbc::Outcome readOver(Leftover& taken, std::vector<Row>& read, const Plan& plan, std::size_t blockRows,
                       const Range& range)
{
    odbc::Outcome outcome;
    const std::size_t before = read.size();
    BlockResult result = BlockResult::Complete;
    taken.statement = taken.connection.statement(outcome);
    if (taken.statement)
        outcome = readBlocks(taken.connection, *taken.statement, plan, range, std::max<std::size_t>(blockRows, 1), read,
                             result);
    if (outcome.status >= 0 && result == BlockResult::NeedsRowByRow) {
        read.erase(read.begin() + static_cast<std::ptrdiff_t>(before), read.end());
        taken.statement.reset();
        outcome = readRowByRow(taken.connection, plan, range, read);
    }
    return outcome;
}

// Reads over a connection that is open; its statement stays in `taken`.
odbc::Outcome loadOver(Leftover& taken, std::vector<Row>& rows, const Plan& plan, std::size_t blockRows,
                       const Range& range = {})
{
    std::vector<Row> read;
    const odbc::Outcome outcome = readOver(taken, read, plan, blockRows, range);
    // Only read: nothing to keep. The read ends here, before anyone sees
    // the rows, so no transaction outlives the action; the rows are in hand
    // whatever the driver answers. Freeing the statement can wait.
    taken.connection.rollback();
    if (outcome.status < 0)
        return outcome;
    rows = std::move(read);
    return {};
}

odbc::Outcome load(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const Plan& plan,
                   std::size_t blockRows, std::unique_ptr<Leftover>& leftover)
{
    auto taken = std::make_unique<Leftover>();
    odbc::Outcome outcome = settings.open(taken->connection);
    if (outcome.status < 0)
        return outcome;
    outcome = loadOver(*taken, rows, plan, blockRows);
    leftover = std::move(taken);
    return outcome;
}

// The first value the statement gives, as text; empty on failure.
QString firstText(odbc::Connection& connection, const QString& sql)
{
    odbc::Outcome outcome;
    std::optional<odbc::Statement> s = connection.statement(outcome);
    std::optional<QString> text;
    if (s && s->executeDirect(sql).status == 0 && s->fetch().status == 0)
        s->getText(1, text);
    return text.value_or(QString());
}

// SQLite's count of the changes that other connections committed to the
// database file, as this connection sees it now; empty when it cannot tell.
QString dataVersion(odbc::Connection& connection) { return firstText(connection, QStringLiteral("PRAGMA data_version")); }

// A server: begins a read-only transaction that sees one state of the
// server throughout (REPEATABLE READ, set for that transaction alone);
// false where the server cannot be set so.
bool beginOneStateRead(odbc::Connection& connection)
{
    odbc::Outcome outcome;
    if (std::optional<odbc::Statement> s = connection.statement(outcome))
        outcome = s->executeDirect(oneStateReadSql);
    return outcome.status >= 0;
}

// SQLite: the database file the connection opened, as it is now; none on
// any other product.
std::optional<rt::FileIdentity> fileOpenedBy(const odbc::Connection& connection)
{
    if (rt::productOf(connection) != rt::Product::SQLite)
        return std::nullopt;
    return rt::identify(connection.info(SQL_DATABASE_NAME));
}

// Opens a connection into `into`, noting the file it opened (see Leftover::file).
odbc::Outcome openInto(const rt::ConnectionSettings& settings, Leftover& into)
{
    const odbc::Outcome opened = settings.open(into.connection);
    if (opened.status >= 0)
        into.file = fileOpenedBy(into.connection);
    return opened;
}

// The lowest and highest rowid of faq as the connection's read sees them;
// nullopt for an empty table and on failure (a table without rowids, say).
std::optional<std::pair<qint64, qint64>> rowidBounds(odbc::Connection& connection)
{
    odbc::Outcome outcome;
    std::optional<odbc::Statement> s = connection.statement(outcome);
    if (!s || s->executeDirect(QStringLiteral("SELECT (SELECT MIN(rowid) FROM faq), (SELECT MAX(rowid) FROM faq)")).status != 0 ||
        s->fetch().status != 0)
        return std::nullopt;
    SQLBIGINT low = 0, high = 0;
    SQLLEN lowIndicator = SQL_NULL_DATA, highIndicator = SQL_NULL_DATA;
    if (!SQL_SUCCEEDED(SQLGetData(s->get(), 1, SQL_C_SBIGINT, &low, sizeof low, &lowIndicator)) ||
        !SQL_SUCCEEDED(SQLGetData(s->get(), 2, SQL_C_SBIGINT, &high, sizeof high, &highIndicator)) ||
        lowIndicator == SQL_NULL_DATA || highIndicator == SQL_NULL_DATA || low > high)
        return std::nullopt;
    return std::pair<qint64, qint64>(low, high);
}

// Below this span of rowids a table is read in one piece: a second
// connection would cost more than it saves.
constexpr qint64 splitFromSpan = 4096;

// The half of the table after the split, read on a thread of its own.
struct UpperHalf {
    std::mutex mutex;
    std::condition_variable changed;
    bool begun = false;  // its read has begun; split is set when it is worth reading
    std::optional<qint64> split;
    bool done = false;
    odbc::Outcome outcome;
    std::vector<Row> rows;
    // The connection it reads over (kept from the last such read, or opened
    // by the helper) and its statement; the helper's until done.
    std::unique_ptr<Leftover> over;
};

// Reads over `taken` (SQLite, open) as loadOver() does, in two halves of
// the table by rowid at once: this connection the lower half, a second one
// on a thread of its own the upper. SQLite spends most of a read scanning
// the file and copying the rows, and both halve. The halves are of one
// state of the database: the count of other connections' commits this
// connection sees (PRAGMA data_version) is the same before the second
// connection's read began and when this one's begins, after it. nullopt,
// with nothing read, where that does not hold, where the table is too small
// to be worth it, or where a half could not be read: the caller reads in
// one piece. The second connection is taken from `taken.upper` where the
// last such read left one, and left there.
std::optional<odbc::Outcome> loadInHalves(const rt::ConnectionSettings& settings, Leftover& taken,
                                          std::vector<Row>& rows, const Plan& plan)
{
    odbc::Connection& connection = taken.connection;
    const QString before = dataVersion(connection);
    connection.rollback();
    if (before.isEmpty())
        return std::nullopt;

    auto upper = std::make_shared<UpperHalf>();
    const auto publish = [upper](const std::function<void(UpperHalf&)>& change) {
        {
            const std::lock_guard lock(upper->mutex);
            change(*upper);
        }
        upper->changed.notify_all();
    };
    const auto await = [upper](bool UpperHalf::*flag) {
        std::unique_lock lock(upper->mutex);
        upper->changed.wait(lock, [&] { return (*upper).*flag; });
    };
    // The plan is used only until the rows are published, and this function
    // waits for that wherever the helper reads; the second read's statement
    // and connection come back with its rows, to be let go of (or kept) with
    // the first's.
    upper->over = taken.upper ? std::move(taken.upper) : std::make_unique<Leftover>();
    rt::Worker helper;
    helper.post([settings, &plan, publish, upper] {
        Leftover& over = *upper->over;
        std::optional<std::pair<qint64, qint64>> bounds;
        if (over.connection.isOpen())
            bounds = rowidBounds(over.connection);  // the second read begins here
        if (!bounds) {
            // None kept, or the kept one fails: one of its own.
            over = Leftover{};
            if (openInto(settings, over).ok())
                bounds = rowidBounds(over.connection);  // or here
        }
        std::optional<qint64> split;
        if (bounds && bounds->second - bounds->first >= splitFromSpan)
            split = bounds->first + (bounds->second - bounds->first) / 2;
        publish([&](UpperHalf& u) { u.begun = true; u.split = split; });
        odbc::Outcome outcome;
        std::vector<Row> read;
        if (split)
            outcome = loadOver(over, read, plan, 512, Range{Range::Part::After, *split});
        else
            over.connection.rollback();
        publish([&](UpperHalf& u) {
            u.outcome = std::move(outcome);
            u.rows = std::move(read);
            u.done = true;
        });
    });
    const auto finish = [&] {
        await(&UpperHalf::done);
        helper.retire();
        taken.upper = std::move(upper->over);
    };
    await(&UpperHalf::begun);
    const std::optional<qint64> split = upper->split;
    if (!split) {
        finish();
        return std::nullopt;
    }
    if (dataVersion(connection) != before) {  // this read begins here
        // Changed meanwhile: the halves may be of two states. The helper's
        // rows are dropped once it is done with the plan.
        connection.rollback();
        finish();
        return std::nullopt;
    }
    std::vector<Row> lower;
    const odbc::Outcome outcome = loadOver(taken, lower, plan, 512, Range{Range::Part::UpTo, *split});
    finish();
    if (outcome.status < 0)
        return outcome;
    if (upper->outcome.status < 0) {
        taken.statement.reset();
        taken.upper.reset();
        return std::nullopt;
    }
    lower.insert(lower.end(), std::make_move_iterator(upper->rows.begin()), std::make_move_iterator(upper->rows.end()));
    rows = std::move(lower);
    return odbc::Outcome{};
}

// Reads as loadOver() does, on a server in two halves of the entry numbers,
// one after the other in one read-only transaction that sees one state of
// the table throughout (REPEATABLE READ, set for that transaction alone):
// psqlODBC holds every row a select delivers until its statement is let go
// of, and so holds half of them at most (3 MiB less at the peak for the
// largest table), for a second statement's 10 ms. The entries come half by
// half, each half as the server finds them. A server that cannot be set so
// is read in one piece. With `state`, what the transaction sees is taken
// into it first (serverStateSql), and so is what the halves see; it is left
// empty where the server cannot tell.
odbc::Outcome loadOneHalfAfterTheOther(Leftover& taken, std::vector<Row>& rows, const Plan& plan,
                                       QString* state = nullptr)
{
    odbc::Connection& connection = taken.connection;
    odbc::Outcome outcome;
    if (!taken.openReadAt.isEmpty()) {
        // Begun by the question whether the last listing stands.
        if (state)
            *state = taken.openReadAt;
        taken.openReadAt.clear();
    } else {
        if (!beginOneStateRead(connection)) {
            connection.rollback();
            return loadOver(taken, rows, plan, 512);
        }
        if (state) {
            *state = firstText(connection, serverStateSql);
            if (state->isEmpty()) {
                // Its failure may have ended the transaction: read in one of its own.
                connection.rollback();
                return loadOneHalfAfterTheOther(taken, rows, plan);
            }
        }
    }
    std::vector<Row> read;
    outcome = readOver(taken, read, plan, 512, Range{Range::Part::UpTo, numberSplit, Range::Key::Number});
    if (outcome.status >= 0) {
        taken.statement.reset();  // the first half's copy goes before the second is read
        outcome = readOver(taken, read, plan, 512, Range{Range::Part::After, numberSplit, Range::Key::Number});
    }
    if (outcome.status < 0) {
        connection.rollback();
        return outcome;
    }
    // The transaction ends once the rows are shown (spareOf), not while the
    // user waits for them.
    rows = std::move(read);
    return {};
}

// Reads as loadOver() does; a filter's read on SQLite in two halves at once
// where that can be done (loadInHalves). Only a filter's: it keeps few of
// the rows it reads, so the second read's memory is small, where reading
// every entry in two would hold two sets of the driver's rows and arrays at
// once (some 7 MiB more at the peak for the largest table).
// With `serverState`, a server's read takes what it sees into it (see
// loadOneHalfAfterTheOther); it is left as it is on any other product.
odbc::Outcome loadEvery(const rt::ConnectionSettings& settings, Leftover& taken, std::vector<Row>& rows,
                        const Plan& plan, QString* serverState = nullptr)
{
    const rt::Product product = rt::productOf(taken.connection);
    if (plan.filters() && product == rt::Product::SQLite)
        if (std::optional<odbc::Outcome> outcome = loadInHalves(settings, taken, rows, plan))
            return *outcome;
    if (product == rt::Product::PostgreSQL)
        return loadOneHalfAfterTheOther(taken, rows, plan, serverState);
    return loadOver(taken, rows, plan, 512);
}

} // namespace

odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, std::size_t blockRows)
{
    std::unique_ptr<Leftover> leftover;
    return load(settings, rows, Plan(nullptr), blockRows, leftover);
}

odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter& filter,
                       std::size_t blockRows)
{
    std::unique_ptr<Leftover> leftover;
    return load(settings, rows, Plan(&filter), blockRows, leftover);
}

namespace {

// The spare's connections into `into` where it was made with these
// settings, is still open and, on SQLite, the data source still names the
// file they opened (not one put in its place since); the spare is used up
// either way.
void takeSpare(const rt::ConnectionSettings& settings, std::unique_ptr<Spare>& spare, Leftover& into)
{
    const std::unique_ptr<Spare> offered = std::move(spare);
    if (!offered || offered->settings != settings || !offered->connection.isOpen() ||
        (offered->file && rt::identify(settings.databaseFile()) != offered->file))
        return;
    into.connection = std::move(offered->connection);
    into.file = offered->file;
    into.openReadAt = offered->openReadAt;
    if (offered->second.isOpen()) {
        into.upper = std::make_unique<Leftover>();
        into.upper->connection = std::move(offered->second);
        into.upper->file = offered->file;
    }
}

// Runs `read` over the spare when it has these settings, and over a new
// connection when there is none or that read failed; `taken` ends up with
// the connection read over.
odbc::Outcome overSpareOrNew(const rt::ConnectionSettings& settings, std::unique_ptr<Spare>& spare, Leftover& taken,
                             const std::function<odbc::Outcome(Leftover&)>& read)
{
    takeSpare(settings, spare, taken);
    if (taken.connection.isOpen()) {
        if (const odbc::Outcome outcome = read(taken); outcome.ok())
            return outcome;
        // Lost meanwhile, most likely (a restarted server, a dropped
        // network): only read, so read again over a new connection.
        taken = Leftover{};
    }
    const odbc::Outcome opened = openInto(settings, taken);
    if (opened.status < 0)
        return opened;
    return read(taken);
}

} // namespace

odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter* filter,
                       std::unique_ptr<Leftover>& leftover, std::unique_ptr<Spare>& spare)
{
    auto taken = std::make_unique<Leftover>();
    const Plan plan(filter);
    const odbc::Outcome outcome = overSpareOrNew(settings, spare, *taken, [&](Leftover& over) {
        return loadEvery(settings, over, rows, plan);
    });
    if (taken->connection.isOpen())
        leftover = std::move(taken);
    return outcome;
}

std::unique_ptr<Spare> spareOf(const rt::ConnectionSettings& settings, Leftover&& finished)
{
    finished.statement.reset();
    if (!finished.connection.isOpen())
        return nullptr;
    if (finished.openReadAt.isEmpty())
        finished.connection.rollback();  // the read's transaction, left open until now
    auto spare = std::make_unique<Spare>();
    spare->settings = settings;
    spare->connection = std::move(finished.connection);
    spare->file = finished.file;
    spare->openReadAt = finished.openReadAt;
    if (finished.upper) {
        finished.upper->statement.reset();
        // Only a second of the same file (it was opened after the first).
        if (finished.upper->connection.isOpen() && finished.upper->file == finished.file)
            spare->second = std::move(finished.upper->connection);
    }
    return spare;
}

odbc::Outcome readSnapshot(const rt::ConnectionSettings& settings, std::unique_ptr<Snapshot>& snapshot,
                           std::unique_ptr<Spare>& spare)
{
    snapshot.reset();
    auto read = std::make_unique<Snapshot>();
    read->settings = settings;
    std::vector<Row> rows;
    const odbc::Outcome outcome = overSpareOrNew(settings, spare, read->kept, [&](Leftover& over) {
        odbc::Connection& connection = over.connection;
        read->file.reset();
        read->version.clear();
        // A listing of every entry is read in one piece: a second connection
        // kept for halves is let go of.
        over.upper.reset();
        if (rt::productOf(connection) == rt::Product::SQLite) {
            read->file = over.file;
            // Taken before the rows, in the same read: a change committed
            // between the two only makes the count differ later, never goes unseen.
            if (read->file)
                read->version = dataVersion(connection);
        }
        rows.clear();
        return loadEvery(settings, over, rows, Plan(nullptr), &read->version);
    });
    if (outcome.status < 0)
        return outcome;
    read->rows = std::make_shared<const std::vector<Row>>(std::move(rows));
    snapshot = std::move(read);
    return {};
}

void prepareFirstSearch(const rt::ConnectionSettings& settings, std::unique_ptr<Snapshot>& snapshot,
                        std::unique_ptr<Spare>& spare)
{
    if (snapshot || spare)
        return;
    auto opened = std::make_unique<Spare>();
    opened->settings = settings;
    if (settings.open(opened->connection).status < 0)
        return;
    if (rt::productOf(opened->connection) != rt::Product::SQLite) {
        spare = std::move(opened);
        return;
    }
    opened->file = fileOpenedBy(opened->connection);
    std::unique_ptr<Snapshot> read;
    if (readSnapshot(settings, read, opened).ok() && read->vouchable()) {
        read->kept.statement.reset();
        snapshot = std::move(read);
    }
}

void endRead(Snapshot& snapshot, std::unique_ptr<Spare>& spare)
{
    snapshot.kept.statement.reset();
    if (!snapshot.file && snapshot.kept.connection.isOpen())
        spare = spareOf(snapshot.settings, std::move(snapshot.kept));
    if (spare && !spare->openReadAt.isEmpty()) {
        // Begun by stillCurrent(), which found the rows standing.
        spare->connection.rollback();
        spare->openReadAt.clear();
    }
}

namespace {

// Whether the server is still where the snapshot's read found it, asked
// over the spare or a new connection, which is the spare afterwards.
bool serverStillAt(const Snapshot& snapshot, const rt::ConnectionSettings& settings, std::unique_ptr<Spare>& spare)
{
    Leftover over;
    takeSpare(settings, spare, over);
    if (!over.connection.isOpen() && settings.open(over.connection).status < 0)
        return false;
    odbc::Connection& connection = over.connection;
    if (!over.openReadAt.isEmpty()) {
        connection.rollback();  // one still open from an earlier question
        over.openReadAt.clear();
    }
    const bool begun = beginOneStateRead(connection);
    if (!begun)
        connection.rollback();
    const QString now = firstText(connection, serverStateSql);
    if (begun && !now.isEmpty())
        over.openReadAt = now;
    else
        connection.rollback();
    spare = spareOf(settings, std::move(over));
    return !now.isEmpty() && now == snapshot.version;
}

} // namespace

bool stillCurrent(Snapshot& snapshot, const rt::ConnectionSettings& settings, std::unique_ptr<Spare>& spare)
{
    if (!snapshot.vouchable() || snapshot.settings != settings)
        return false;
    if (!snapshot.file)
        return serverStillAt(snapshot, settings, spare);
    odbc::Connection& connection = snapshot.kept.connection;
    if (!connection.isOpen() || rt::identify(settings.databaseFile()) != snapshot.file)
        return false;
    snapshot.kept.statement.reset();
    const QString version = dataVersion(connection);
    connection.rollback();
    return !version.isEmpty() && version == snapshot.version;
}

bool looksOnlyInListedTexts(const RowFilter& filter)
{
    return std::all_of(filter.columns.begin(), filter.columns.end(),
                       [](TextColumn c) { return c == TextColumn::Adresa || c == TextColumn::Lot; });
}

std::vector<Row> rowsKept(const std::vector<Row>& rows, const RowFilter& filter)
{
    std::vector<Row> kept;
    RowTexts texts;
    for (const Row& row : rows) {
        texts[indexOf(TextColumn::Adresa)] = row.adresa;
        texts[indexOf(TextColumn::Lot)] = row.lot;
        if (filter.keep(texts))
            kept.push_back(row);
    }
    return kept;
}

} // namespace faq
