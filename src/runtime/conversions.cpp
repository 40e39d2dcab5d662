#include "runtime/conversions.h"

namespace rt {

std::optional<qint16> toInteger(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    const QString trimmed = text->trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-')) {
        negative = trimmed[i] == u'-';
        ++i;
    }
    if (i == trimmed.size())
        return qint16(0);
    long value = 0;
    for (; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c < u'0' || c > u'9')
            return qint16(0);
        value = value * 10 + (c - u'0');
        if (value > 32768)
            return qint16(0);
    }
    if (negative)
        value = -value;
    if (value < -32768 || value > 32767)
        return qint16(0);
    return static_cast<qint16>(value);
}

std::optional<QString> toText(std::optional<qint16> value)
{
    if (!value)
        return std::nullopt;
    return QString::number(*value);
}

QString formatDate(const QDate& date) { return date.toString(QStringLiteral("MM/dd/yyyy")); }

QString todayText() { return formatDate(QDate::currentDate()); }

} // namespace rt
