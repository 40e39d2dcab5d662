// The grid definition's display formats and its table model, without a database.

#include "data/dw_pretraga_model.h"

#include <QAbstractItemModelTester>
#include <QFontInfo>

#include <gtest/gtest.h>

using dw_pretraga::Model;

namespace {

faq::Row row(std::optional<qint64> rbr, std::optional<QString> adresa = std::nullopt,
             std::optional<QDateTime> datum = std::nullopt, std::optional<QString> lot = std::nullopt)
{
    return {rbr, std::move(adresa), std::move(datum), std::move(lot)};
}

QString shown(const Model& model, int r, int c) { return model.data(model.index(r, c)).toString(); }

} // namespace

TEST(grid_definition, TimeZoneIsTakenOutOfTheLocalesTime)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"h:mm:ss AP t", u"h:mm:ss AP"},
        {u"HH:mm:ss (t)", u"HH:mm:ss"},
        {u"HH 'h' mm 'min' ss 's' t", u"HH 'h' mm 'min' ss 's'"},  // quoted letters stay
        {u"H:mm:ss 'ч'. tttt", u"H:mm:ss 'ч'."},
        {u"HH:mm:ss", u"HH:mm:ss"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(dw_pretraga::withoutTimeZone(QString::fromUtf16(in)), QString::fromUtf16(out)) << QString::fromUtf16(in).toStdString();
}

TEST(grid_model, DatesShowTheShortDateABlankAndTheShortTime)
{
    struct Case {
        QLocale locale;
        QDateTime value;
        QString expected;
    };
    const QDateTime midnight(QDate(2026, 12, 6), QTime(0, 0), Qt::UTC);
    const QDateTime afternoon(QDate(2026, 12, 6), QTime(13, 45, 7), Qt::UTC);
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), midnight, QStringLiteral("12/6/26 12:00 AM")},
        {QLocale(QLocale::English, QLocale::UnitedStates), afternoon, QStringLiteral("12/6/26 1:45 PM")},
        {QLocale(QLocale::German, QLocale::Germany), afternoon, QStringLiteral("06.12.26 13:45")},
        {QLocale(QLocale::Croatian, QLocale::Croatia), afternoon, QStringLiteral("06. 12. 2026. 13:45")},
        {QLocale::c(), afternoon, QStringLiteral("6 Dec 2026 13:45")},
    };
    for (const auto& c : cases) {
        Model model(c.locale);
        model.setRows({row(1, std::nullopt, c.value)});
        EXPECT_EQ(shown(model, 0, dw_pretraga::Datum), c.expected) << c.locale.name().toStdString();
    }
    for (const auto& [in, out] : {std::pair{"HH:mm:ss", "HH:mm"}, {"h:mm:ss AP", "h:mm AP"}, {"HH 'sati' mm", "HH 'sati' mm"},
                                  {"H.mm.ss 'h'", "H.mm 'h'"}})
        EXPECT_EQ(dw_pretraga::withoutSeconds(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST(grid_model, CaptionsNumbersTextsAndEmptyNulls)
{
    Model model;
    model.setRows({row(70000, QStringLiteral("Žuti put 3"), std::nullopt, QString()), row(std::nullopt)});
    QStringList captions;
    for (int c = 0; c < model.columnCount(); ++c)
        captions << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Rbr"), QStringLiteral("Address"), QStringLiteral("Date"), QStringLiteral("Lot")}));
    EXPECT_EQ(shown(model, 0, dw_pretraga::Rbr), QStringLiteral("70000"));
    EXPECT_EQ(shown(model, 0, dw_pretraga::Adresa), QStringLiteral("Žuti put 3"));
    for (int c = 0; c < model.columnCount(); ++c)
        EXPECT_EQ(shown(model, 1, c), QString()) << c;

    const auto font = model.data(model.index(0, 1), Qt::FontRole).value<QFont>();
    EXPECT_EQ(font.family(), QStringLiteral("Arial"));
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_EQ(font.weight(), QFont::Normal);
}

TEST(grid_model, StaysConsistentThroughReloadsAndHighlights)
{
    Model model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setHighlightColours(Qt::darkBlue, Qt::white);
    model.setRows({row(1), row(2), row(3)});
    model.setHighlighted(1, true);
    EXPECT_EQ(model.data(model.index(1, 2), Qt::BackgroundRole).value<QBrush>(), QBrush(Qt::darkBlue));
    EXPECT_FALSE(model.data(model.index(0, 2), Qt::BackgroundRole).isValid());
    model.setAllHighlighted(true);
    model.setAllHighlighted(false);
    model.setRows({row(9)});
    model.setRows(std::vector<faq::Row>{});
    EXPECT_EQ(model.rowCount(), 0);
}

// Ascending and descending by each visible column: Croatian letters in their
// own places, nulls first, ties in the database's order.
TEST(grid_model, SortsByTimeAndByTheLocalesCollationNullsFirst)
{
    const QDateTime d1(QDate(2026, 1, 13), QTime(0, 0), Qt::UTC), d2(QDate(2025, 12, 31), QTime(23, 59), Qt::UTC);
    Model model(QLocale(QLocale::Croatian, QLocale::Croatia));
    model.setRows({row(1, QStringLiteral("Šimić"), d1, QStringLiteral("L-10")), row(2, QStringLiteral("Čolić"), d2, QStringLiteral("L-9")),
                   row(3, std::nullopt, std::nullopt, QStringLiteral("l-9")), row(4, QStringLiteral("Cvijić"), d1),
                   row(5, QStringLiteral("Ćosić"), d2, QStringLiteral("")), row(6, QStringLiteral("Sabo"), d1, QStringLiteral("L-2"))});
    const auto numbers = [&] {
        std::vector<qint64> shownNumbers;
        for (int r = 0; r < model.rowCount(); ++r)
            shownNumbers.push_back(*model.shownRow(r).rbr);
        return shownNumbers;
    };
    const struct {
        int column;
        dw_pretraga::SortOrder order;
        std::vector<qint64> expected;
    } cases[] = {
        {dw_pretraga::Adresa, dw_pretraga::SortOrder::Ascending, {3, 4, 2, 5, 6, 1}},
        {dw_pretraga::Adresa, dw_pretraga::SortOrder::Descending, {1, 6, 5, 2, 4, 3}},
        {dw_pretraga::Datum, dw_pretraga::SortOrder::Ascending, {3, 2, 5, 1, 4, 6}},
        {dw_pretraga::Lot, dw_pretraga::SortOrder::Ascending, {4, 5, 6, 3, 2, 1}},  // numbers by value, l before L
        {dw_pretraga::Lot, dw_pretraga::SortOrder::None, {1, 2, 3, 4, 5, 6}},
    };
    for (const auto& c : cases) {
        model.sortBy(c.column, c.order);
        EXPECT_EQ(numbers(), c.expected) << c.column << " " << static_cast<int>(c.order);
    }
    // A reload keeps the order; the shown texts follow it.
    model.sortBy(dw_pretraga::Adresa, dw_pretraga::SortOrder::Ascending);
    model.setRows({row(7, QStringLiteral("Zec")), row(8, QStringLiteral("Ana"))});
    EXPECT_EQ(numbers(), (std::vector<qint64>{8, 7}));
    EXPECT_EQ(shown(model, 0, dw_pretraga::Adresa), QStringLiteral("Ana"));
}
