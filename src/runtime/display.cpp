#include "runtime/display.h"

#include <QGuiApplication>
#include <QPoint>
#include <QScreen>

namespace rt {
namespace {
EnvironmentProvider& provider()
{
    static EnvironmentProvider p;
    return p;
}
} // namespace

void installEnvironmentProvider(EnvironmentProvider p) { provider() = std::move(p); }

int getEnvironment(Environment& env)
{
    if (provider()) {
        auto answer = provider()();
        if (!answer)
            return -1;
        env = *answer;
        return 1;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return -1;
    const QSize size = screen->geometry().size();
    env.ScreenWidth = size.width();
    env.ScreenHeight = size.height();
    return 1;
}

QPoint screenOrigin()
{
    if (provider())
        return {0, 0};
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().topLeft() : QPoint(0, 0);
}

} // namespace rt
