#include "data/faq_rows.h"

#include "data/dw_pretraga.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace faq {
namespace {

// Column numbers in the select; a filter's columns follow the grid's four.
enum : SQLUSMALLINT { RbrColumn = 1, AdresaColumn, DatumColumn, LotColumn, FirstFilterColumn };

// Names from this fixed list are all that a filter adds to the select.
constexpr std::array<QStringView, textColumnCount> columnNames{u"faq.adresa", u"faq.pitanje", u"faq.lot",
                                                               u"faq.proizvod", u"faq.odgovor"};

std::size_t indexOf(TextColumn column) { return static_cast<std::size_t>(column); }

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

    // The grid's select with the filter's columns after its own.
    QString select() const
    {
        QString sql = dw_pretraga::select.toString();
        QString names;
        for (TextColumn column : extra_) {
            names += QLatin1String(", ");
            names += columnNames[indexOf(column)];
        }
        sql.insert(sql.indexOf(u" FROM "), names);
        return sql;
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
    const RowFilter* filter_;
    std::vector<TextColumn> extra_;
};

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

// Column-wise buffers of one text column for a whole block.
struct BoundText {
    static constexpr std::size_t stride = boundTextUnits + 1;  // room for the terminator

    explicit BoundText(std::size_t rows) : units(rows * stride), indicators(rows) {}

    odbc::Outcome bind(odbc::Statement& s, SQLUSMALLINT column)
    {
        return s.checked(SQLBindCol(s.get(), column, SQL_C_WCHAR, units.data(),
                                    static_cast<SQLLEN>(stride * sizeof(SQLWCHAR)), indicators.data()));
    }
    bool truncated(std::size_t row) const
    {
        const SQLLEN n = indicators[row];
        return n == SQL_NO_TOTAL || n > static_cast<SQLLEN>(boundTextUnits * sizeof(SQLWCHAR));
    }
    std::optional<QString> value(std::size_t row) const
    {
        if (indicators[row] == SQL_NULL_DATA)
            return std::nullopt;
        const SQLWCHAR* text = units.data() + row * stride;
        const std::size_t length = unitsOf(row);
        if (!block_.ptr || length == 0)
            return odbc::fromWide(text, length);
        // A string of its own that shares the block's allocation.
        QStringPrivate cell(block_);
        cell.ptr = block_.ptr + offsets_[row];
        cell.size = static_cast<qsizetype>(length);
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
        std::size_t total = 0;
        for (std::size_t i = 0; i < rows; ++i) {
            offsets_[i] = total;
            if (indicators[i] != SQL_NULL_DATA && !truncated(i))
                total += unitsOf(i) + 1;  // each text keeps a terminator, as a QString of its own would
        }
        block_ = QStringPrivate(QTypedArrayData<char16_t>::allocate(static_cast<qsizetype>(total + 1)));
        if (!block_.ptr)
            return;  // value() falls back on a string per cell
        for (std::size_t i = 0; i < rows; ++i) {
            if (indicators[i] == SQL_NULL_DATA || truncated(i))
                continue;
            const std::size_t n = unitsOf(i);
            char16_t* target = block_.ptr + offsets_[i];
            std::memcpy(target, units.data() + i * stride, n * sizeof(char16_t));
            target[n] = u'\0';
        }
    }

    std::vector<SQLWCHAR> units;
    std::vector<SQLLEN> indicators;

private:
    std::size_t unitsOf(std::size_t row) const { return static_cast<std::size_t>(indicators[row]) / sizeof(SQLWCHAR); }

    QStringPrivate block_;  // null until pack()
    std::vector<std::size_t> offsets_;
};

enum class BlockResult { Complete, NeedsRowByRow };

// The fast path: blocks of rows into bound column-wise buffers.
odbc::Outcome readBlocks(odbc::Connection& connection, const Plan& plan, std::size_t blockRows, std::vector<Row>& rows,
                         BlockResult& result)
{
    result = BlockResult::Complete;
    const bool insideBlock = odbc::canReadInsideBlock(connection);

    // Declared before the statement, so they outlive it: the driver writes into them.
    std::vector<SQLBIGINT> rbr(blockRows);
    std::vector<SQLLEN> rbrIndicators(blockRows);
    BoundText adresa(blockRows);
    std::vector<SQL_TIMESTAMP_STRUCT> datum(blockRows);
    std::vector<SQLLEN> datumIndicators(blockRows);
    BoundText lot(blockRows);
    std::vector<BoundText> extra(plan.extraCount(), BoundText(blockRows));
    std::vector<std::optional<QString>> extraTexts(plan.extraCount());
    std::vector<SQLUSMALLINT> rowStatus(blockRows);
    SQLULEN fetched = 0;
    std::size_t seen = 0;  // rows read, kept or not

    odbc::Outcome outcome;
    auto statement = connection.statement(outcome);
    if (!statement)
        return outcome;
    odbc::Statement& s = *statement;

    // A driver that cannot fetch blocks answers 01S02 and fetches fewer rows;
    // the fetched count below covers that.
    for (auto [attribute, value] : {std::pair<SQLINTEGER, SQLULEN>{SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN},
                                    {SQL_ATTR_ROW_ARRAY_SIZE, blockRows},
                                    {SQL_ATTR_ROWS_FETCHED_PTR, reinterpret_cast<SQLULEN>(&fetched)},
                                    {SQL_ATTR_ROW_STATUS_PTR, reinterpret_cast<SQLULEN>(rowStatus.data())}}) {
        outcome = s.setAttribute(attribute, value);
        if (outcome.status < 0)
            return outcome;
    }
    outcome = s.executeDirect(plan.select());
    if (outcome.status < 0)
        return outcome;
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
odbc::Outcome readRowByRow(odbc::Connection& connection, const Plan& plan, std::vector<Row>& rows)
{
    std::vector<std::optional<QString>> extraTexts(plan.extraCount());
    std::size_t seen = 0;  // rows read, kept or not
    odbc::Outcome outcome;
    auto statement = connection.statement(outcome);
    if (!statement)
        return outcome;
    odbc::Statement& s = *statement;
    outcome = s.executeDirect(plan.select());
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

odbc::Outcome load(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const Plan& plan,
                   std::size_t blockRows)
{
    odbc::Connection connection;
    odbc::Outcome outcome = settings.open(connection);
    if (outcome.status < 0)
        return outcome;

    std::vector<Row> read;
    BlockResult result = BlockResult::Complete;
    outcome = readBlocks(connection, plan, std::max<std::size_t>(blockRows, 1), read, result);
    if (outcome.status >= 0 && result == BlockResult::NeedsRowByRow) {
        read.clear();
        outcome = readRowByRow(connection, plan, read);
    }
    // Only read: nothing to keep. The rows are in hand whatever the driver
    // answers to the rollback.
    connection.rollback();
    connection.close();
    if (outcome.status < 0)
        return outcome;
    rows = std::move(read);
    return {};
}

} // namespace

odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, std::size_t blockRows)
{
    return load(settings, rows, Plan(nullptr), blockRows);
}

odbc::Outcome loadRows(const rt::ConnectionSettings& settings, std::vector<Row>& rows, const RowFilter& filter,
                       std::size_t blockRows)
{
    return load(settings, rows, Plan(&filter), blockRows);
}

} // namespace faq
