#include "runtime/conversions.h"
#include "runtime/layout_units.h"

#include <gtest/gtest.h>

using rt::toInteger;
using rt::toText;

TEST(Conversions, TextToIntegerFollowsTheDecimalRule)
{
    struct Case {
        const char* text;
        qint16 expected;
    };
    const Case cases[] = {
        {"17", 17},     {"-5", -5},        {"0", 0},         {"32767", 32767}, {"-32768", -32768},
        {"32768", 0},   {"-32769", 0},     {"99999999999", 0}, {"", 0},          {"abc", 0},
        {"12abc", 0},   {"1.5", 0},        {"-", 0},         {"+7", 7},        {" 42 ", 42},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toInteger(QString::fromLatin1(c.text)), std::optional<qint16>(c.expected)) << c.text;
}

TEST(Conversions, NullStaysNullBothWays)
{
    EXPECT_EQ(toInteger(std::nullopt), std::nullopt);
    EXPECT_EQ(toText(std::nullopt), std::nullopt);
}

TEST(Conversions, IntegerToTextGivesPlainDigits)
{
    EXPECT_EQ(toText(qint16(17)), QStringLiteral("17"));
    EXPECT_EQ(toText(qint16(-27008)), QStringLiteral("-27008"));
    EXPECT_EQ(toText(qint16(0)), QStringLiteral("0"));
}

TEST(Conversions, DateIsMonthDayYearWithLeadingZeros)
{
    EXPECT_EQ(rt::formatDate(QDate(2026, 12, 6)), QStringLiteral("12/06/2026"));
    EXPECT_EQ(rt::formatDate(QDate(2027, 1, 9)), QStringLiteral("01/09/2027"));
    EXPECT_EQ(rt::todayText(), rt::formatDate(QDate::currentDate()));
}

TEST(LayoutUnits, ConvertAtSevenPixelsPer32UnitsAcrossAndFourUnitsPerPixelDown)
{
    EXPECT_EQ(rt::units::toPixelsX(3730), 816);
    EXPECT_EQ(rt::units::toPixelsY(2132), 533);
    EXPECT_EQ(rt::units::toPixelsX(32), 7);
    EXPECT_EQ(rt::units::toPixelsX(5), 1);  // the hidden number column stays one pixel wide
    EXPECT_EQ(rt::units::fromPixelsX(875), 4000);
    EXPECT_EQ(rt::units::fromPixelsY(533), 2132);
}
