#pragma once
// The program's icon on its windows (the window list, the task bar).

namespace window_icon {

// Sets the icon once the first window has been painted: every size of it is
// handed to the window system when it is set, which would otherwise hold up
// the start by a few milliseconds. The sizes are decoded on a thread of
// their own from this call on, while the window is built.
void setOnceFirstPainted();

} // namespace window_icon
