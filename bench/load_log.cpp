#include "load_log.h"

#include <QByteArray>
#include <QByteArrayList>

namespace load {
namespace {

QByteArray encoded(const QString& text) { return text.toUtf8().toPercentEncoding(); }
QString decoded(const QByteArray& field) { return QString::fromUtf8(QByteArray::fromPercentEncoding(field)); }

} // namespace

std::string format(const Record& r)
{
    QByteArrayList fields{encoded(r.action), QByteArray::number(r.startNs), QByteArray::number(r.endNs),
                          QByteArray::number(r.rbr), encoded(r.result), encoded(r.kind)};
    for (const QString& text : r.texts)
        fields << encoded(text);
    return fields.join('\t').toStdString();
}

std::optional<Record> parse(const std::string& line)
{
    const QByteArrayList fields = QByteArray::fromStdString(line).split('\t');
    if (fields.size() < 6)
        return std::nullopt;  // a line cut short by a user that was stopped
    Record r;
    r.action = decoded(fields[0]);
    r.startNs = fields[1].toLongLong();
    r.endNs = fields[2].toLongLong();
    r.rbr = fields[3].toLongLong();
    r.result = decoded(fields[4]);
    r.kind = decoded(fields[5]);
    for (qsizetype i = 6; i < fields.size(); ++i)
        r.texts << decoded(fields[i]);
    return r;
}

} // namespace load
