#pragma once
// A window's controls as plain data: what each is (a group box, a line
// edit, a drop-down list, a button, a label, a grid), where it sits, its
// font and its text. startup_probe writes the search window's; same_controls
// builds them again as plain Qt widgets, for a start-up baseline that draws
// what the program draws and does nothing else.

#include <QWidget>

namespace bench {

bool writeControls(const QWidget& window, const char* file);

// The window with its controls, not yet shown; null if the file cannot be read.
QWidget* buildControls(const char* file);

} // namespace bench
