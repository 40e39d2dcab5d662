#include "support/repaint_watch.h"

#include <QEvent>

#include <iostream>

RepaintWatch::RepaintWatch(QWidget* window) : window_(window)
{
    clock_.start();
    window_->installEventFilter(this);
    connect(&ask_, &QTimer::timeout, this, [this] {
        if (window_)
            window_->update();
    });
    ask_.start(20);
}

RepaintWatch::~RepaintWatch()
{
    if (window_)
        window_->removeEventFilter(this);
}

bool RepaintWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Paint) {
        const qint64 now = clock_.elapsed();
        longest_ = std::max(longest_, now - lastPaint_);
        lastPaint_ = now;
        ++paints_;
    }
    return false;
}

std::chrono::milliseconds RepaintWatch::longestGap() const
{
    return std::chrono::milliseconds(std::max(longest_, clock_.elapsed() - lastPaint_));
}

Measured measure(const char* what, QWidget* window, const std::function<void()>& action)
{
    RepaintWatch watch(window);
    QElapsedTimer clock;
    clock.start();
    action();
    const Measured m{std::chrono::milliseconds(clock.elapsed()), watch.longestGap()};
    std::cout << "[ measured ] " << what << ": took " << m.took.count() << " ms, window unpainted for at most "
              << m.longestUnpainted.count() << " ms" << std::endl;
    return m;
}
