#include "search/w_search.h"

#include "app/globals.h"
#include "runtime/display.h"
#include "runtime/layout_units.h"

#include <cmath>

using rt::Script;

namespace {
constexpr auto kTitle = "Veterinary FAQ helper";
// Call-site tags of the failure markers.
constexpr std::uint32_t kOpenCentre = 0x0a3c101;
} // namespace

qint16 centredPosition(qint16 screenUnits, qint16 windowUnits)
{
    const qint32 difference = qint32(screenUnits) - qint32(windowUnits);
    return static_cast<qint16>(std::trunc(difference * 0.5));
}

w_search::w_search() : rt::Window(rt::WindowKind::Main, "w_search")
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setSize(3730, 2132);
}

void w_search::open()
{
    Script s(rt::event("open", "w_search", "w_search"));
    s.line(1); g.rbr = 0;
    s.line(2); s.call(kOpenCentre, [&] { centriraj_prozor(this); });
    s.end(4);
}

void w_search::centriraj_prozor(rt::Window* prozor)
{
    Script s(rt::function("centriraj_prozor", "w_search"));
    rt::Environment env;
    s.line(7); const qint16 rtn = static_cast<qint16>(rt::getEnvironment(env));
    s.line(8); if (rtn != 1) return;
    s.line(10); const qint16 xx = centredPosition(static_cast<qint16>(rt::units::fromPixelsX(env.ScreenWidth)),
                                                  static_cast<qint16>(s.need(prozor).Width()));
    s.line(11); const qint16 yy = centredPosition(static_cast<qint16>(rt::units::fromPixelsY(env.ScreenHeight)),
                                                  static_cast<qint16>(s.need(prozor).Height()));
    s.line(15); s.need(prozor).setX(xx);
    s.line(16); s.need(prozor).setY(yy);
}
