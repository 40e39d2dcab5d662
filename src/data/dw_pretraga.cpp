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

QString shortDateTimePattern(const QLocale& locale)
{
    // The long time format is the locale's own time with seconds; only its zone is unwanted.
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

} // namespace dw_pretraga
