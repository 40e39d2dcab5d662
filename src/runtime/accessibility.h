#pragma once
// What screen readers are told where Qt's own accessibility falls short.

class QAccessibleInterface;
class QObject;
class QString;

namespace rt {

// Installs the program's accessibility factory once: a drop-down list is
// named by its accessible name (Qt 6.4 names it by its current item only),
// with the current item as its value.
void installAccessibility();

} // namespace rt
