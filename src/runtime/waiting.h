#pragma once
// Waiting for the database without freezing the windows. A task runs on a
// worker thread while the GUI thread keeps painting; user input is held back
// meanwhile, so no second action starts while one runs. After a second a
// small modal "Waiting for the database…" box with a Cancel button shows how
// long it has been; at the limit, or on Cancel, the wait ends without the
// task, which may go on running on its worker.

#include "runtime/worker.h"

#include <chrono>
#include <functional>

namespace rt {

enum class WaitEnd { Done, TimedOut, Cancelled };

// Runs task on the worker and returns when it has run (Done) or was given up
// on. A task that was given up on may still be running: it must own
// everything it touches, and the caller must retire the worker.
WaitEnd waitFor(Worker& worker, std::function<void()> task, std::chrono::milliseconds limit);

// Whether a wait is going on now (this call is inside one).
bool waiting();

// The object name of the waiting box, for finding it among the windows.
inline constexpr auto waitBoxName = "waitForDatabase";
// How long a wait runs before the waiting box appears.
inline constexpr std::chrono::milliseconds waitBoxDelay{1000};

} // namespace rt
