#pragma once
// Drives a modal response window from inside its own event loop: the action
// runs once a visible window of type W is open, and the open call returns
// when the action has closed it.

#include <QApplication>
#include <QTimer>

#include <functional>

template <class W>
void whenOpen(std::function<void(W&)> action, int attemptsLeft = 200)
{
    QTimer::singleShot(5, [action = std::move(action), attemptsLeft]() mutable {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<W*>(top); window && window->isVisible() && !window->isClosed()) {
                action(*window);
                return;
            }
        if (attemptsLeft > 0)
            whenOpen<W>(std::move(action), attemptsLeft - 1);
    });
}

// Where tests leave pictures of windows for a person to look at.
QString picturePath(const QString& name);
