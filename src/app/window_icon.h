#pragma once
// The program's icon on its windows (the window list, the task bar).

namespace window_icon {

// Sets the icon once the first window has been painted: every size of it is
// decoded and handed to the window system when it is set, which would
// otherwise hold up the start by a few milliseconds.
void setOnceFirstPainted();

} // namespace window_icon
