// Search with criteria, through the window and the real ODBC drivers, on
// each database: what the grid lists and what the window says about it.

#include "data/faq_rows.h"
#include "search/uo_srch1.h"
#include "support/on_each_backend.h"
#include "support/running_program.h"
#include "support/trace_capture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string_view>

#include <algorithm>
#include <array>
#include <set>

namespace {

// One criterion row as the user sets it.
struct R {
    const char* text = "";
    const char* field = "Address";
    const char* veza = "AND";
};

QVariant text(const char* utf8) { return utf8 ? QVariant(QString::fromUtf8(utf8)) : QVariant(); }

class search_filter : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        program.emplace();
    }

    void add(int rbr, const QVariant& adresa, const QVariant& pitanje, const QVariant& proizvod, const QVariant& lot,
             const QVariant& odgovor)
    {
        source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa, pitanje, proizvod, lot, odgovor)"
                                     " VALUES ($1, $2, $3, $4, $5, $6)"),
                      {rbr, adresa, pitanje, proizvod, lot, odgovor});
    }

    w_search& window() const { return program->search(); }
    std::array<uo_srch1*, 4> rows() const { return {window().uo_1, window().uo_2, window().uo_3, window().uo_4}; }

    // Sets the rows from the top; rows not given are left blank.
    void set(const std::vector<R>& given) const
    {
        const auto all = rows();
        for (uo_srch1* row : all)
            row->sle_trazi->clear();
        std::size_t i = 0;
        for (const R& r : given) {
            all[i]->sle_trazi->setText(QString::fromUtf8(r.text));
            all[i]->ddlb_polje->setCurrentText(QString::fromLatin1(r.field));
            all[i]->ddlb_veza->setCurrentText(QString::fromLatin1(r.veza));
            ++i;
        }
    }
    // The entry numbers in the grid, top to bottom.
    std::vector<qint64> listed() const
    {
        std::vector<qint64> numbers;
        for (long r = 1; r <= window().dw_search->rowCount(); ++r)
            numbers.push_back(static_cast<qint64>(window().dw_search->getitemnumber(r, 1)));
        return numbers;
    }
    QString count() const { return window().st_listed->text(); }
    static QString countText(std::size_t n)
    {
        return n == 1 ? QStringLiteral("1 entry listed") : QStringLiteral("%1 entries listed").arg(n);
    }
    std::vector<qint64> search(const std::vector<R>& given)
    {
        set(given);
        program->click(window().cb_search);
        return listed();
    }

    std::optional<RunningProgram> program;
};
INSTANTIATE_ON_EACH_BACKEND(search_filter);

} // namespace

TEST_P(search_filter, CriteriaChooseTheEntriesInTheDatabasesOrder)
{
    add(1, text("Farm Novak, Čakovec"), text("Dose for calves?"), text("ČEP-Vet"), text("L-100"), text("Twice a day."));
    add(2, text("Dr. Šimić"), text(nullptr), text("Vaccine X"), text("L-200"), text(nullptr));
    add(3, text("ĐURO ĐAKOVIĆ 12"), text("Storage of čep"), text("čep"), text(nullptr), text("Keep 100% dry_cool"));
    add(4, text("O'Brien farm"), text("Is 50% enough?"), text("Vaccine Y"), text("L_300"), text("path C:\\vet\\doses"));
    add(5, text(nullptr), text("dose"), text(nullptr), text("L-100B"), text("Ask Dr. Novak"));
    // The Kelvin sign and the long s are k and s to the rule, not to the databases' LIKE.
    // Numbered far from the others, so that SQLite reads a filter's rows in two halves.
    add(30000, text("\u212Aelvin Ma\u017Fter, Istra"), text(nullptr), text(nullptr), text(nullptr), text(nullptr));

    const std::vector<qint64> everything = search({});
    ASSERT_EQ(everything.size(), 6u);
    EXPECT_EQ(count(), QStringLiteral("6 entries listed"));

    struct Case {
        const char* what;
        std::vector<R> rows;
        std::vector<qint64> expected;
    };
    const Case cases[] = {
        {"address", {{"novak"}}, {1}},
        {"question", {{"DOSE", "Question"}}, {1, 5}},
        {"lot", {{"l-100", "LOT"}}, {1, 5}},
        {"product", {{"vaccine", "Product"}}, {2, 4}},
        {"answer", {{"DR. NOVAK", "Answer"}}, {5}},
        {"and", {{"vaccine", "Product", "AND"}, {"šimić"}}, {2}},
        {"or", {{"vaccine", "Product", "OR"}, {"čep", "Product"}}, {1, 2, 3, 4}},
        {"not", {{"vaccine", "Product", "NOT"}, {"šimić"}}, {4}},
        {"(farm or šimić) and L-", {{"farm", "Address", "OR"}, {"šimić", "Address", "AND"}, {"L-", "LOT"}}, {1, 2}},
        {"(dose and 100b) or o'brien",
         {{"dose", "Question", "AND"}, {"100b", "LOT", "OR"}, {"o'brien"}},
         {4, 5}},
        {"empty rows between", {{"vaccine", "Product", "NOT"}, {"", "Answer", "OR"}, {"   ", "LOT", "OR"}, {"šimić"}}, {4}},
        {"not over a null answer", {{"l", "LOT", "NOT"}, {"twice", "Answer"}}, {2, 4, 5}},
        {"not over a null question", {{"vaccine", "Product", "NOT"}, {"enough", "Question"}}, {2}},
        {"null contains nothing", {{"a", "Answer"}}, {1, 4, 5}},
        {"capitals find small letters", {{"ČAKOVEC"}}, {1}},
        {"small letters find capitals", {{"đuro đaković"}}, {3}},
        {"čep in any case", {{"ČEP", "Product"}}, {1, 3}},
        {"percent", {{"100%", "Answer"}}, {3}},
        {"percent alone", {{"%", "Question"}}, {4}},
        {"underscore", {{"_", "LOT"}}, {4}},
        {"underscore inside", {{"y_C", "Answer"}}, {3}},
        {"apostrophe", {{"'"}}, {4}},
        {"backslashes", {{"\\VET\\", "Answer"}}, {4}},
        {"wildcards are no wildcards", {{"L%", "LOT"}}, {}},
        {"blanks only", {{"  "}, {"\t", "Answer", "NOT"}}, everything},
        {"nothing matches", {{"zzz"}}, {}},
        {"kelvin sign and long s", {{"kelvin master"}}, {30000}},
        {"or over an untestable row", {{"zzz", "Address", "OR"}, {"ćš"}, {"x", "LOT", "AND"}}, {}},
        {"capital i", {{"ISTRA"}, {"elvin", "Address", "OR"}}, {30000}},
    };
    // Criteria on address and lot pick from the listing of every entry while
    // the database holds it unchanged; after a change they ask the database.
    for (const char* pass : {"unchanged since listed", "after a change"}) {
        if (pass == std::string_view("after a change")) {
            source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (99, 'gone')"));
            source().exec(QStringLiteral("DELETE FROM faq WHERE rbr = 99"));
        }
        for (const auto& c : cases) {
            std::vector<qint64> expected;
            std::copy_if(everything.begin(), everything.end(), std::back_inserter(expected), [&](qint64 rbr) {
                return std::find(c.expected.begin(), c.expected.end(), rbr) != c.expected.end();
            });
            EXPECT_EQ(search(c.rows), expected) << c.what << ", " << pass;
            EXPECT_EQ(count(), countText(expected.size())) << c.what << ", " << pass;
        }
    }
    EXPECT_TRUE(program->boxes().empty());
}

TEST_P(search_filter, EnterInAnyCriterionTextIsAClickOnSearch)
{
    add(1, text("Farm Novak"), text("q"), text("p"), text("L-1"), text("a"));
    add(2, text("Dr. Šimić"), text("q"), text("p"), text("L-2"), text("a"));
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Return, Qt::Key_Enter};
    for (std::size_t i = 0; i < 4; ++i) {
        set({});
        QLineEdit* field = rows()[i]->sle_trazi;
        field->setFocus();
        field->setText(i % 2 ? QStringLiteral("NOVAK") : QStringLiteral("šimić"));
        TraceCapture trace;
        QTest::keyClick(field, keys[i]);
        EXPECT_EQ(listed(), (std::vector<qint64>{i % 2 ? 1 : 2})) << "uo_" << i + 1;
        EXPECT_EQ(count(), QStringLiteral("1 entry listed"));
        EXPECT_NE(std::find(trace.lines().begin(), trace.lines().end(),
                            "Executing event script clicked for class cb_search, lib entry w_search"),
                  trace.lines().end())
            << "uo_" << i + 1;
    }
}

TEST_P(search_filter, SearchKeepsTheChosenEntryAndHighlightsNoRow)
{
    add(1, text("Farm Novak"), text("q"), text("p"), text("L-1"), text("a"));
    add(2, text("Dr. Šimić"), text("q"), text("p"), text("L-2"), text("a"));
    search({});
    const auto all = listed();
    const long row = std::find(all.begin(), all.end(), 2) - all.begin() + 1;
    program->clickRow(static_cast<int>(row));
    ASSERT_EQ(g.rbr, 2);

    EXPECT_EQ(search({{"novak"}}), std::vector<qint64>{1});
    EXPECT_EQ(g.rbr, 2) << "the chosen entry stays chosen though it is not listed";
    EXPECT_FALSE(window().dw_search->isSelected(1));
}

TEST_P(search_filter, LongTextsAreMatchedInFull)
{
    const QString far = QStringLiteral("č").repeated(300);
    add(1, text("a1"), text("q"), text("p"), text("L"), text("short needle"));
    add(2, text("a2"), text("q"), text("p"), text("L"), far + QStringLiteral("NEEDLE"));
    add(3, QString(600, u'đ'), text("q"), text("p"), text("L"), QString(600, u'x'));
    add(4, QString(600, u'ž') + QStringLiteral("end"), text("q"), text("p"), text("L"),
        QString(310, u'y') + QStringLiteral("needle"));
    add(5, text("a5"), text("q"), text("p"), text("L"), text(nullptr));

    // The loader itself, over blocks smaller and larger than the table.
    const rt::ConnectionSettings settings{QStringLiteral("ODBC"), false,
                                          QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
    for (std::size_t blockRows : {2u, 512u}) {
        // Falling back to row-by-row reading may ask about a row again.
        std::set<qsizetype> answerLengths;
        bool sawUnnamed = false;
        const faq::RowFilter filter{{faq::TextColumn::Odgovor}, [&](const faq::RowTexts& texts) {
                                        const auto& odgovor = texts[std::size_t(faq::TextColumn::Odgovor)];
                                        sawUnnamed |= texts[std::size_t(faq::TextColumn::Pitanje)].has_value();
                                        answerLengths.insert(odgovor ? odgovor->size() : -1);
                                        return odgovor && odgovor->contains(QStringLiteral("needle"), Qt::CaseInsensitive);
                                    }};
        std::vector<faq::Row> rows;
        const odbc::Outcome outcome = faq::loadRows(settings, rows, filter, blockRows);
        ASSERT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
        std::sort(rows.begin(), rows.end(), [](const faq::Row& a, const faq::Row& b) { return a.rbr < b.rbr; });
        ASSERT_EQ(rows.size(), 3u) << blockRows;
        EXPECT_EQ(rows[0].rbr, 1);
        EXPECT_EQ(rows[1].rbr, 2);
        EXPECT_EQ(rows[2].rbr, 4);
        EXPECT_EQ(rows[2].adresa, QString(600, u'ž') + QStringLiteral("end")) << "the grid's texts stay whole";
        EXPECT_EQ(answerLengths, (std::set<qsizetype>{-1, 12, 306, 316, 600})) << blockRows;
        EXPECT_FALSE(sawUnnamed) << "columns the filter did not name are not read";
    }

    EXPECT_EQ(search({{"NEEDLE", "Answer"}}).size(), 3u);
    EXPECT_EQ(count(), QStringLiteral("3 entries listed"));
    EXPECT_EQ(search({{"čneedle", "Answer"}}), std::vector<qint64>{2}) << "found across character 300";
}
