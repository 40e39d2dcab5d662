#pragma once
// For the start-up probes: notices the first paint of a top-level window
// and runs a follow-up once that paint has reached the screen, on the next
// turn of the event loop. Installed on the application before any window
// exists, so a paint that happens inside show() is seen as well.

#include "process.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace bench {

// What the baselines print once their window has painted, as the
// benchmark reads it: the moment, and the peak resident size so far.
inline void reportShown()
{
    std::printf("shown %lld\n", static_cast<long long>(monotonicNs()));
    std::printf("peak_kib %ld\n", peakResidentKiB());
    std::fflush(stdout);
}

class FirstShown final : public QObject {
public:
    // isTarget picks the window; then runs once, with that window.
    FirstShown(std::function<bool(QObject*)> isTarget, std::function<void(QWidget*)> then)
        : isTarget_(std::move(isTarget)), then_(std::move(then))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && isTarget_(watched)) {
            qApp->removeEventFilter(this);
            QWidget* window = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, this, [this, window] { then_(window); });
        }
        return false;
    }

private:
    std::function<bool(QObject*)> isTarget_;
    std::function<void(QWidget*)> then_;
};

} // namespace bench
