#include "export/whole_file.h"

#include <QDir>
#include <QSaveFile>

namespace output {

WriteResult writeWhole(const QString& path, const std::function<bool(QIODevice&)>& write)
{
    QSaveFile file(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!file.open(QIODevice::WriteOnly))
        return {WriteResult::Failed, QStringLiteral("%1 could not be written: %2").arg(shown, file.errorString())};
    if (!write(file)) {
        file.cancelWriting();
        return {WriteResult::Stopped, {}};
    }
    // A write that failed on the way (a full disk) makes the commit fail too.
    if (!file.commit())
        return {WriteResult::Failed, QStringLiteral("%1 could not be written: %2").arg(shown, file.errorString())};
    return {WriteResult::Written, {}};
}

} // namespace output
