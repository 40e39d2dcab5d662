#include "search/entry_text.h"

#include <QTextDocument>

namespace {

// At most `units` of a text, cut at a word where one is near, with an ellipsis.
QString start(const QString& text, qsizetype units)
{
    if (text.size() <= units)
        return text;
    qsizetype cut = text.lastIndexOf(u' ', units);
    if (cut < units / 2)
        cut = units;
    return text.left(cut) + QChar(0x2026);
}

} // namespace

QString entrySummary(const faq::WholeEntry& e)
{
    const struct {
        const char* label;
        const faq::Text& text;
        qsizetype longest;
    } lines[] = {{"Who:", e[0], 200}, {"Product:", e[3], 200}, {"LOT:", e[4], 200}, {"Question:", e[1], 400},
                 {"Solution:", e[5], 200}};
    QString html = QStringLiteral("<table>");
    for (const auto& line : lines)
        html += QStringLiteral("<tr><td valign=top><b>%1</b></td><td>%2</td></tr>")
                    .arg(QLatin1String(line.label),
                         start(line.text.value_or(QString()), line.longest).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    return html + QStringLiteral("</table>");
}

QString asTabSeparated(qint64 rbr, const faq::WholeEntry& e)
{
    QStringList fields{QString::number(rbr)};
    for (const faq::Text& value : e) {
        QString field = value.value_or(QString());
        if (field.contains(u'\t') || field.contains(u'\n') || field.contains(u'\r') || field.contains(u'"'))
            field = u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
        fields << field;
    }
    return fields.join(u'\t');
}
