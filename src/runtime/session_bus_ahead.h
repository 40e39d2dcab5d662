#pragma once
// The session bus reached ahead. Qt's bridge to screen readers (AT-SPI) is
// made at the first change a window reports, as its first control is
// built, and waits there on the window's thread while a thread of Qt's own
// connects to the session bus (where no bus address is set, after trying
// to start one with dbus-launch). Begun on a thread of its own as soon as
// the application object exists, that connection is made while the window
// is built, and the bridge finds it ready. Only on the window systems whose
// bridge uses the bus (X11 and Wayland).

#include <thread>

namespace rt {

// The thread that connects, joined as it goes out of scope; none where the
// window system's bridge does not use the bus.
std::jthread reachSessionBusAhead();

} // namespace rt
