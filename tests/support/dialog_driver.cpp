#include "support/dialog_driver.h"

#include <QDir>

QString picturePath(const QString& name)
{
    const QString dir = QStringLiteral(VETFAQ_BINARY_DIR "/pictures");
    QDir().mkpath(dir);
    return dir + u'/' + name;
}
