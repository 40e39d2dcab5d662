#pragma once
// Measures how long a window went without painting: while the watch lives,
// the window is asked to repaint every 20 ms, and the watch notes every
// paint it really gets. A window whose thread is blocked gets none.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

class RepaintWatch : public QObject {
public:
    explicit RepaintWatch(QWidget* window);
    ~RepaintWatch() override;
    // The longest stretch without a paint so far, up to now.
    std::chrono::milliseconds longestGap() const;
    int paints() const { return paints_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QTimer ask_;
    QElapsedTimer clock_;
    qint64 lastPaint_ = 0;
    qint64 longest_ = 0;
    int paints_ = 0;
};

// Runs the action with a watch on the window and prints how long it took
// and how long the window went without painting, for the measurements in a
// test log ("[ measured ] ..." lines).
struct Measured {
    std::chrono::milliseconds took, longestUnpainted;
};
Measured measure(const char* what, QWidget* window, const std::function<void()>& action);
