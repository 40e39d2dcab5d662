#include "data/dw_pretraga.h"

#include <QLocale>

namespace dw_pretraga {

QFont font()
{
    QFont f(fontFace.toString(), fontPoints, QFont::Normal);
    f.setStyleHint(QFont::SansSerif);  // where Arial is missing, a look-alike
    return f;
}

QString withoutTimeZone(const QString& timePattern)
{
    QString out;
    out.reserve(timePattern.size());
    bool quoted = false;
    for (const QChar c : timePattern) {
        if (c == u'\'')
            quoted = !quoted;  // a doubled quote toggles twice and stays literal
        else if (!quoted && c == u't')
            continue;
        out += c;
    }
    // "HH:mm:ss (t)" leaves an empty pair of brackets behind.
    out.remove(QStringLiteral("()"));
    out.remove(QStringLiteral("[]"));
    return out.simplified();
}

QString withoutSeconds(const QString& timePattern)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < timePattern.size(); ++i) {
        const QChar c = timePattern[i];
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u's') {
            // The seconds and the separator before them: "HH:mm:ss" -> "HH:mm".
            while (!out.isEmpty() && !out.back().isLetter() && out.back() != u'\'')
                out.chop(1);
            while (i + 1 < timePattern.size() && timePattern[i + 1] == u's')
                ++i;
            continue;
        }
        out += c;
    }
    return out;
}

QString shortDateTimePattern(const QLocale& locale)
{
    // The locale's short date and short time: entries carry the day they were
    // made, and the minutes at most, so seconds (which the C locale's short
    // time has) only push the date out of its column.
    return locale.dateFormat(QLocale::ShortFormat) + u' '
           + withoutSeconds(withoutTimeZone(locale.timeFormat(QLocale::ShortFormat)));
}

} // namespace dw_pretraga
