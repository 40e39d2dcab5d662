#include "runtime/session_bus_ahead.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace rt {

std::jthread reachSessionBusAhead()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return {};
    return std::jthread([] { QDBusConnection::sessionBus(); });
}

} // namespace rt
