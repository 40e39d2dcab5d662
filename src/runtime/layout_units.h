#pragma once
// Layout units: windows and controls are placed in device-independent units.
// 32 horizontal units are 7 logical pixels and 4 vertical units 1 logical
// pixel; Qt maps logical pixels to device pixels on HiDPI screens.

#include <QRect>

#include <cmath>

namespace rt::units {

inline int toPixelsX(int units) { return static_cast<int>(std::lround(units * 7.0 / 32.0)); }
inline int toPixelsY(int units) { return static_cast<int>(std::lround(units / 4.0)); }
inline int fromPixelsX(int pixels) { return static_cast<int>(std::lround(pixels * 32.0 / 7.0)); }
inline int fromPixelsY(int pixels) { return pixels * 4; }

inline QRect toPixels(int x, int y, int width, int height)
{
    return {toPixelsX(x), toPixelsY(y), toPixelsX(width), toPixelsY(height)};
}

} // namespace rt::units
