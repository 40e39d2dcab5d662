#pragma once
// The display environment: the size of the screen windows are centred on.

#include <functional>
#include <optional>

class QPoint;

namespace rt {

struct Environment {
    int ScreenWidth = 0;   // logical pixels
    int ScreenHeight = 0;
};

// Fills env with the primary screen's size; 1 on success, -1 without a screen.
int getEnvironment(Environment& env);

// The top-left corner of the primary screen on the desktop: window positions
// are measured from it, so centring works on any monitor arrangement.
QPoint screenOrigin();

// For tests: answers the query instead of the screen (nullopt means failure).
using EnvironmentProvider = std::function<std::optional<Environment>()>;
void installEnvironmentProvider(EnvironmentProvider provider);

} // namespace rt
