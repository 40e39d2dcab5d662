#pragma once
// The grid definition dw_pretraga: the select that lists every FAQ entry and
// the layout of its four columns, in layout units. The grid only shows data;
// nothing is written back through it.

#include <QFont>
#include <QString>
#include <QStringView>

#include <array>

class QLocale;

namespace dw_pretraga {

// No condition, no order: the rows come as the database delivers them.
inline constexpr QStringView select = u"SELECT faq.rbr, faq.adresa, faq.datum, faq.lot FROM faq";

enum class Value { WholeNumber, Text, DateTime };

struct Column {
    QStringView name;
    QStringView captionName;  // the caption object
    QStringView caption;
    Value value;
    QStringView format;  // "[general]": digits or the text itself; "[shortdate] [time]"
    int x;      // layout units from the grid's left edge
    int width;  // layout units
};

// 0-based positions in the select; the scripts number columns from 1.
enum ColumnIndex { Rbr, Adresa, Datum, Lot };

// The entry-number column is 5 units wide: present for getitemnumber, unseen by the user.
inline constexpr std::array<Column, 4> columns{{
    {u"rbr", u"rbr_t", u"Rbr", Value::WholeNumber, u"[general]", 9, 5},
    {u"adresa", u"adresa_t", u"Address", Value::Text, u"[general]", 23, 1746},
    {u"datum", u"datum_t", u"Date", Value::DateTime, u"[shortdate] [time]", 1778, 603},
    {u"lot", u"lot_t", u"Lot", Value::Text, u"[general]", 2391, 955},
}};

// Every caption stands in the header band, every value in the detail band.
inline constexpr int captionY = 8;
inline constexpr int captionHeight = 64;
inline constexpr int valueY = 8;
inline constexpr int valueHeight = 76;

inline constexpr QStringView fontFace = u"Arial";
inline constexpr int fontPoints = 10;

// Captions and values: Arial 10 point, normal weight.
QFont font();

// The QLocale pattern of "[shortdate] [time]": the locale's short date, a
// blank and its short time, without seconds or a time zone; it fits the
// column for every day of the year.
QString shortDateTimePattern(const QLocale& locale);

// A time pattern without its seconds ("ss" outside quotes and the separator before them).
QString withoutSeconds(const QString& timePattern);

// A time pattern with its time-zone parts ("t" outside quotes, and the
// brackets or blanks left around them) taken out.
QString withoutTimeZone(const QString& timePattern);

} // namespace dw_pretraga
