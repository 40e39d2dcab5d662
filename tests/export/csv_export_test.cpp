// Listed entries read fresh and exported as CSV, read back with an RFC 4180
// reader of the test's own, on SQLite and on PostgreSQL.

#include "export/entry_reader.h"
#include "export/output_steps.h"
#include "support/on_each_backend.h"
#include "support/recorded_message_boxes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Field = std::optional<QString>;  // nullopt: an empty field without quotes
using Record = std::vector<Field>;

// Strictly RFC 4180: a field is quoted or holds no quote, comma, CR or LF;
// every record ends in CR LF.
std::vector<Record> parseCsv(const QString& text)
{
    std::vector<Record> records(1);
    for (qsizetype i = 0; i < text.size();) {
        Field field;
        if (text[i] == u'"') {
            QString value;
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "a quoted field runs to the end";
                    return records;
                }
                if (text[i] == u'"' && text.mid(i, 2) != QLatin1String("\"\""))
                    break;
                if (text[i] == u'"')
                    ++i;
                value += text[i];
            }
            field = value;
            ++i;
        } else {
            const qsizetype start = i;
            while (i < text.size() && text[i] != u',' && text[i] != u'\r') {
                EXPECT_FALSE(text[i] == u'"' || text[i] == u'\n') << "unquoted field at " << i;
                ++i;
            }
            if (i > start)
                field = text.mid(start, i - start);
        }
        records.back().push_back(field);
        if (text.mid(i, 1) == QLatin1String(",")) {
            ++i;
        } else if (text.mid(i, 2) == QLatin1String("\r\n")) {
            i += 2;
            if (i < text.size())
                records.emplace_back();
        } else {
            ADD_FAILURE() << "a field ends in neither a comma nor CR LF at " << i;
            return records;
        }
    }
    return records;
}

rt::ConnectionSettings settings()
{
    return {QStringLiteral("ODBC"), false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

struct Hostile {
    const char16_t* stored;  // nullptr for null
    const char16_t* written;
};
// Each row takes five texts from here in turn, so every column meets every text.
const Hostile hostile[] = {
    {u"He said \"no\", then \"\"yes\"\"", u"He said \"no\", then \"\"yes\"\""},
    {u"line one\nline two\r\nline three\r", u"line one\nline two\r\nline three\r"},
    {u"a, b,, c,", u"a, b,, c,"},
    {u"\U0001F436 dog \U0001F431 cat \u2014 č ć đ š ž Č Ć Đ Š Ž", u"\U0001F436 dog \U0001F431 cat \u2014 č ć đ š ž Č Ć Đ Š Ž"},
    {u"=HYPERLINK(\"http://x\")", u"'=HYPERLINK(\"http://x\")"},
    {u"+1", u"'+1"},
    {u"-5 mg", u"'-5 mg"},
    {u"@SUM(A1)", u"'@SUM(A1)"},
    {u"\tTab", u"'\tTab"},
    {u"\rCR", u"'\rCR"},
    {u"", u""},
    {nullptr, nullptr},
    {u"\uFEFFbegins with a byte order mark", u"\uFEFFbegins with a byte order mark"},
    {u"'quoted already", u"'quoted already"},
    {u" =not at the start", u" =not at the start"},
    {nullptr, nullptr},  // a text longer than any bound buffer, set below
};
constexpr std::size_t hostileCount = std::size(hostile);

const QString longText = QStringLiteral("-\"long\", \U0001F436 č\r\n").repeated(1000);

QVariant stored(std::size_t i)
{
    if (i % hostileCount == hostileCount - 1)
        return longText;
    const char16_t* text = hostile[i % hostileCount].stored;
    return text ? QVariant(QString::fromUtf16(text)) : QVariant();
}

Field written(std::size_t i)
{
    if (i % hostileCount == hostileCount - 1)
        return QStringLiteral("'") + longText;
    const char16_t* text = hostile[i % hostileCount].written;
    return text ? Field(QString::fromUtf16(text)) : std::nullopt;
}

class csv_export : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (std::size_t row = 0; row < hostileCount; ++row)
            source().exec(QStringLiteral("INSERT INTO faq VALUES ($1, $2, $3, $4, $5, $6, $7)"),
                          {int(row + 1), stored(row), stored(row + 1), dates[row % std::size(dates)].first,
                           stored(row + 2), stored(row + 3), stored(row + 4)});
    }
    const std::pair<QVariant, Field> dates[3] = {{QStringLiteral("2026-12-06 13:45:07.250"), QStringLiteral("2026-12-06T13:45:07.250")},
                                                 {QStringLiteral("2027-01-02 00:00:00"), QStringLiteral("2027-01-02T00:00:00")},
                                                 {QVariant(), std::nullopt}};
    QTemporaryDir dir;
};
INSTANTIATE_ON_EACH_BACKEND(csv_export);

} // namespace

TEST_P(csv_export, HostileTextsComeBackFieldByFieldInTheListsOrder)
{
    // The list's order, with an entry deleted meanwhile (99) left out.
    std::vector<qint64> listed{3, 99};
    for (qint64 n = hostileCount; n >= 1; --n)
        if (n != 3)
            listed.push_back(n);
    for (const bool excel : {false, true}) {
        RecordedMessageBoxes boxes;
        const QString path = dir.filePath(excel ? QStringLiteral("excel.csv") : QStringLiteral("plain.csv"));
        ASSERT_TRUE(output::exportCsv(nullptr, settings(), output::Selection::listed(listed), path, {excel}));
        EXPECT_TRUE(boxes.shown().empty());

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        EXPECT_EQ(bytes.startsWith("\xEF\xBB\xBF"), excel);
        if (excel)
            bytes.remove(0, 3);
        const std::vector<Record> records = parseCsv(QString::fromUtf8(bytes));
        ASSERT_EQ(records.size(), 1 + hostileCount);
        EXPECT_EQ(records[0], (Record{QStringLiteral("rbr"), QStringLiteral("adresa"), QStringLiteral("pitanje"),
                                      QStringLiteral("datum"), QStringLiteral("proizvod"), QStringLiteral("lot"),
                                      QStringLiteral("odgovor")}));
        std::size_t r = 1;
        for (qint64 n : listed) {
            if (n == 99)
                continue;
            const auto row = static_cast<std::size_t>(n - 1);
            const Record expected{QString::number(n), written(row),  written(row + 1), dates[row % std::size(dates)].second,
                                  written(row + 2),   written(row + 3), written(row + 4)};
            EXPECT_EQ(records[r++], expected) << "entry " << n << (excel ? " for Excel" : "");
        }
    }
}

// Texts longer than any bound buffer, characters that take two UTF-16 units
// each, and a leading U+FEFF (no byte order mark to drop), whatever the size
// of the blocks.
TEST_P(csv_export, EntriesAreReadWholeInTheListsOrderWhateverTheBlockSize)
{
    const QString longAnswer = QStringLiteral("ač").repeated(40000);
    const QString emoji = QStringLiteral("\U0001F434").repeated(300);
    source().exec(QStringLiteral("UPDATE faq SET odgovor = $1 WHERE rbr = 4"), {longAnswer});
    source().exec(QStringLiteral("UPDATE faq SET pitanje = $1 WHERE rbr = 6"), {emoji});
    for (const std::size_t blockRows : {1u, 4u, 512u}) {
        output::Entries read;
        ASSERT_TRUE(output::readEntries(settings(), {6, 50, 4, 13, 1}, read, blockRows).ok());
        ASSERT_EQ(read.entries.size(), 4u) << blockRows;
        EXPECT_EQ(read.missing, 1u);
        EXPECT_EQ(read.entries[0].rbr, 6);
        EXPECT_EQ(read.entries[0].pitanje, emoji);
        EXPECT_EQ(read.entries[1].rbr, 4);
        EXPECT_EQ(read.entries[1].odgovor, longAnswer);
        EXPECT_EQ(read.entries[2].adresa, stored(12).toString());
        EXPECT_EQ(read.entries[3].rbr, 1);
        EXPECT_EQ(read.entries[3].datum, QDateTime(QDate(2026, 12, 6), QTime(13, 45, 7, 250), Qt::UTC));
    }
}
