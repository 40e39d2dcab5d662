#include "runtime/session_bus_ahead.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace rt {

SessionBusAhead::SessionBusAhead()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland")))
        thread_ = std::thread([] { QDBusConnection::sessionBus(); });
}

SessionBusAhead::~SessionBusAhead()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace rt
