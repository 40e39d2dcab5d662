#pragma once
// Message boxes with one button, behind an interface tests can replace.

#include <QString>

#include <memory>

namespace rt {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box and returns when the user has dismissed it.
    virtual void show(const QString& title, const QString& text) = 0;
};

// Shows a box through the installed implementation (a modal QMessageBox
// unless a test installed another).
void messageBox(const QString& title, const QString& text);

// Installs another implementation; returns the previous one.
std::unique_ptr<MessageBoxes> installMessageBoxes(std::unique_ptr<MessageBoxes> boxes);

} // namespace rt
