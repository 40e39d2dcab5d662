#include "app/window_icon.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <thread>
#include <utility>
#include <vector>

namespace window_icon {
namespace {

// The icon's images, decoded on a thread of their own while the window is
// built. Reading the first of them also loads Qt's image format plugins,
// which the window's first paint would otherwise load itself (Qt tries
// them all on a PNG file, and the group box's frame is one).
class Images {
public:
    void decodeAhead()
    {
        thread_ = std::thread([this] {
            for (const QFileInfo& size : QDir(QStringLiteral(":/icons")).entryInfoList())
                images_.emplace_back(size.filePath());
        });
    }
    // Waits for the decoding and hands the images over; empty where it
    // never began.
    std::vector<QImage> take()
    {
        if (thread_.joinable())
            thread_.join();
        return std::move(images_);
    }
    ~Images()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::vector<QImage> images_;
    std::thread thread_;
};

Images& iconImages()
{
    static Images images;
    return images;
}

QIcon programIcon()
{
    QIcon icon;
    for (const QImage& image : iconImages().take())
        icon.addPixmap(QPixmap::fromImage(image));
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

void setOnceFirstPainted()
{
    iconImages().decodeAhead();
    qApp->installEventFilter(new FirstPaint);
}

} // namespace window_icon
