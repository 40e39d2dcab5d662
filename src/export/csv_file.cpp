#include "export/csv_file.h"

#include <QDateTime>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <type_traits>

namespace output {
namespace {

constexpr char header[] = "rbr,adresa,pitanje,datum,proizvod,lot,odgovor\r\n";
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
// Records are kept in chunks of this size, and written out in pieces of it.
constexpr std::size_t chunkBytes = 1u << 20;
// Progress is told this often, in records.
constexpr std::size_t progressEvery = 512;
// Most bytes a date takes: 2026-12-06T13:45:07.123456789
constexpr std::size_t timestampBytes = 32;

char* digits(char* out, long value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    return out + width;
}

// Each UTF-16 unit takes at most three bytes; a doubled quote two; the
// quotes and the apostrophe three more. A byte of invalid UTF-8 becomes a
// replacement character of three.
std::size_t mostBytes(QAnyStringView text) { return 3 * static_cast<std::size_t>(text.size()) + 3; }

class RecordEncoder {
public:
    explicit RecordEncoder(char* out) : out_(out) {}
    char* end() const { return out_; }

    void raw(char c) { *out_++ = c; }

    void number(qint64 value) { out_ = std::to_chars(out_, out_ + 24, value).ptr; }

    void text(QAnyStringView text)
    {
        if (text.isNull())
            return;
        *out_++ = '"';
        if (startsFormula(text))
            *out_++ = '\'';
        text.visit([this](auto view) { put(view); });
        *out_++ = '"';
    }

    void timestamp(const SQL_TIMESTAMP_STRUCT* ts)
    {
        if (!ts || !QDate::isValid(ts->year, ts->month, ts->day) || !QTime::isValid(ts->hour, ts->minute, ts->second)
            || ts->fraction >= 1'000'000'000)
            return;  // no real moment: as null, as the report shows it
        if (ts->year < 0 || ts->year > 9999) {
            const QDateTime moment(QDate(ts->year, ts->month, ts->day), QTime(ts->hour, ts->minute, ts->second), Qt::UTC);
            const QByteArray iso = moment.toString(Qt::ISODate).chopped(1).toLatin1();  // without the Z
            out_ = std::copy_n(iso.constData(), std::min<qsizetype>(iso.size(), timestampBytes), out_);
            return;
        }
        out_ = digits(out_, ts->year, 4);
        *out_++ = '-';
        out_ = digits(out_, ts->month, 2);
        *out_++ = '-';
        out_ = digits(out_, ts->day, 2);
        *out_++ = 'T';
        out_ = digits(out_, ts->hour, 2);
        *out_++ = ':';
        out_ = digits(out_, ts->minute, 2);
        *out_++ = ':';
        out_ = digits(out_, ts->second, 2);
        if (ts->fraction != 0) {
            // Milliseconds, microseconds or nanoseconds, as many as there are.
            const int width = ts->fraction % 1'000'000 == 0 ? 3 : ts->fraction % 1'000 == 0 ? 6 : 9;
            const long scale = width == 3 ? 1'000'000 : width == 6 ? 1'000 : 1;
            *out_++ = '.';
            out_ = digits(out_, static_cast<long>(ts->fraction) / scale, width);
        }
    }

private:
    void put(QStringView text)
    {
        qsizetype from = 0;
        for (qsizetype quote; (quote = text.indexOf(u'"', from)) >= 0; from = quote + 1) {
            out_ = utf8_.appendToBuffer(out_, text.sliced(from, quote - from));
            *out_++ = '"';
            *out_++ = '"';
        }
        out_ = utf8_.appendToBuffer(out_, text.sliced(from));
    }
    // The database's own UTF-8, copied as it is where it is valid.
    void put(QUtf8StringView text)
    {
        if (!text.isValidUtf8()) {
            put(QStringView(text.toString()));
            return;
        }
        const char* from = text.data();
        const char* const end = from + text.size();
        while (const char* quote = static_cast<const char*>(std::memchr(from, '"', static_cast<std::size_t>(end - from)))) {
            out_ = std::copy(from, quote + 1, out_);
            *out_++ = '"';
            from = quote + 1;
        }
        out_ = std::copy(from, end, out_);
    }
    void put(QLatin1StringView text) { put(QStringView(text.toString())); }

    char* out_;
    // Stateless: a lone surrogate at a text's end must not reach into the next text.
    QStringEncoder utf8_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

} // namespace

bool startsFormula(QAnyStringView text)
{
    if (text.isEmpty())
        return false;
    // Every one of them is ASCII: the first unit or byte tells, whatever the encoding.
    const char16_t first = text.visit([](auto view) -> char16_t {
        if constexpr (std::is_same_v<decltype(view), QStringView>)
            return view.front().unicode();
        else
            return static_cast<unsigned char>(*view.data());
    });
    switch (first) {
    case u'=': case u'+': case u'-': case u'@': case u'\t': case u'\r':
        return true;
    default:
        return false;
    }
}

CsvRecords::Chunk& CsvRecords::roomFor(std::size_t n)
{
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < n) {
        const std::size_t capacity = std::max(n, chunkBytes);
        chunks_.push_back({std::unique_ptr<char[]>(new char[capacity]), capacity, 0});
    }
    return chunks_.back();
}

void CsvRecords::add(std::size_t place, const EntryView& e)
{
    // The columns in the table's order: the date comes between the question and the product.
    const std::array<QAnyStringView, 2> before{e.adresa, e.pitanje};
    const std::array<QAnyStringView, 3> after{e.proizvod, e.lot, e.odgovor};
    std::size_t most = 24 + 1 + timestampBytes + 2;  // the number, the date, the commas, CR LF
    for (QAnyStringView text : before)
        most += 1 + mostBytes(text);
    for (QAnyStringView text : after)
        most += 1 + mostBytes(text);
    Chunk& chunk = roomFor(most);
    char* const start = chunk.bytes.get() + chunk.used;
    RecordEncoder record(start);
    record.number(e.rbr);
    for (QAnyStringView text : before) {
        record.raw(',');
        record.text(text);
    }
    record.raw(',');
    record.timestamp(e.datum);
    for (QAnyStringView text : after) {
        record.raw(',');
        record.text(text);
    }
    record.raw('\r');
    record.raw('\n');
    const auto size = static_cast<std::size_t>(record.end() - start);
    records_[place] = {static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(chunk.used),
                       static_cast<std::uint32_t>(size)};
    chunk.used += size;
}

WriteResult CsvRecords::write(const QString& path, const CsvOptions& options, const Progress& progress) const
{
    return writeWhole(path, [&](QIODevice& device) {
        // Gathered into large pieces: the records lie in the order they were read.
        std::vector<char> piece;
        piece.reserve(chunkBytes);
        auto put = [&](const char* bytes, std::size_t n) {
            if (piece.size() + n > chunkBytes && !piece.empty()) {
                device.write(piece.data(), static_cast<qint64>(piece.size()));
                piece.clear();
            }
            piece.insert(piece.end(), bytes, bytes + n);
        };
        if (options.byteOrderMark)
            put(byteOrderMark, std::strlen(byteOrderMark));
        put(header, std::strlen(header));
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (progress && i % progressEvery == 0 && !progress(i))
                return false;
            const Record& r = records_[i];
            if (r.size > 0)
                put(chunks_[r.chunk].bytes.get() + r.offset, r.size);
        }
        device.write(piece.data(), static_cast<qint64>(piece.size()));
        return !progress || progress(records_.size());
    });
}

} // namespace output
