#include "app/window_icon.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <QWidget>

namespace window_icon {
namespace {

QIcon programIcon()
{
    QIcon icon;
    for (const QFileInfo& size : QDir(QStringLiteral(":/icons")).entryInfoList())
        icon.addFile(size.filePath());
    return icon;
}

// Watches every paint until a window's first, then sets the icon on the
// next turn of the event loop, once that paint has been flushed.
class FirstPaint final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, qApp, [] { QApplication::setWindowIcon(programIcon()); });
            deleteLater();
        }
        return false;
    }
};

} // namespace

void setOnceFirstPainted() { qApp->installEventFilter(new FirstPaint); }

} // namespace window_icon
