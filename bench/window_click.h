#pragma once
// A left click as the window system delivers it: the press and the release
// sent to the widget at a point, through the application's event filters.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace bench {

inline void click(QWidget* widget, QPoint at)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

} // namespace bench
