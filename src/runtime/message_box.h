#pragma once
// Message boxes, behind an interface tests can replace: the program's boxes
// with one button, and questions with a few answers.

#include <QString>
#include <QStringList>

#include <memory>

namespace rt {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box and returns when the user has dismissed it. The
    // informative text, when there is one, says why and what to do.
    virtual void show(const QString& title, const QString& text, const QString& informative) = 0;
    // Asks, and returns the index of the answer chosen; escapeAnswer when the
    // box was closed without one.
    virtual int ask(const QString& title, const QString& text, const QString& informative, const QStringList& answers,
                    int defaultAnswer, int escapeAnswer) = 0;
};

// Shows a box through the installed implementation (a modal QMessageBox
// unless a test installed another).
void messageBox(const QString& title, const QString& text, const QString& informative = {});
int askBox(const QString& title, const QString& text, const QString& informative, const QStringList& answers,
           int defaultAnswer, int escapeAnswer);

// Installs another implementation; returns the previous one.
std::unique_ptr<MessageBoxes> installMessageBoxes(std::unique_ptr<MessageBoxes> boxes);

} // namespace rt
