#pragma once
// Conversions between texts, 16-bit integers and dates.

#include <QDate>
#include <QString>

#include <optional>

namespace rt {

// A decimal text gives its value; any other text (the empty one included)
// and a number outside -32768..32767 give 0; null stays null.
std::optional<qint16> toInteger(const std::optional<QString>& text);

// Plain digits with a leading minus for a negative number; null stays null.
std::optional<QString> toText(std::optional<qint16> value);

// A date as "mm/dd/yyyy".
QString formatDate(const QDate& date);
// Today's date from the system clock as "mm/dd/yyyy".
QString todayText();

} // namespace rt
