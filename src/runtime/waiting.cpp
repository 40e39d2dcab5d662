#include "runtime/waiting.h"

#include "runtime/failure_cause.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <condition_variable>
#include <mutex>

namespace rt {
namespace {

// What the worker and the waiting GUI thread share about one task.
struct Completion {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool givenUp = false;  // the waiter left; nobody is to be woken
};

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:  // the window manager's close button
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
        return true;
    default:
        return false;
    }
}

// Drops what the user does to any window but the waiting box while a task
// runs: the scripts run one at a time, and a click must not start a second
// one in the middle of the first. Painting, timers and the box go on.
class InputGate final : public QObject {
public:
    InputGate() { qApp->installEventFilter(this); }
    ~InputGate() override { qApp->removeEventFilter(this); }
    void letThrough(QWidget* box) { box_ = box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!event->spontaneous() || !isUserInput(event->type()) || belongsToBox(watched))
            return false;
        event->ignore();  // a refused close stays refused
        return true;
    }

private:
    bool belongsToBox(QObject* watched) const
    {
        if (!box_)
            return false;
        if (auto* widget = qobject_cast<QWidget*>(watched))
            return widget->window() == box_;
        return watched == box_->windowHandle();
    }

    QPointer<QWidget> box_;
};

// The "Waiting for the database…" box.
class WaitBox final : public QDialog {
public:
    WaitBox(QWidget* parent, std::chrono::milliseconds limit) : QDialog(parent), limit_(limit)
    {
        setObjectName(QString::fromLatin1(waitBoxName));
        setWindowTitle(QStringLiteral("Veterinary FAQ helper"));
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        auto* heading = new QLabel(QStringLiteral("Waiting for the database\u2026"), this);
        layout->addWidget(heading);
        elapsed_ = new QLabel(this);
        layout->addWidget(elapsed_);
        cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
        cancel_->setObjectName(QStringLiteral("cancel"));
        cancel_->setDefault(true);
        layout->addWidget(cancel_, 0, Qt::AlignRight);
        setAccessibleName(heading->text());
        connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    }
    void showElapsed(std::chrono::milliseconds elapsed)
    {
        elapsed_->setText(QStringLiteral("%1 s so far; the action stops after %2.")
                              .arg(elapsed.count() / 1000)
                              .arg(secondsText(limit_)));
        setAccessibleDescription(elapsed_->text());
    }

private:
    std::chrono::milliseconds limit_;
    QLabel* elapsed_;
    QPushButton* cancel_;
};

constexpr std::chrono::milliseconds quickCall{2};
int waitsGoingOn = 0;

WaitEnd waitBlocking(const std::shared_ptr<Completion>& c, std::chrono::milliseconds limit)
{
    std::unique_lock lock(c->mutex);
    if (!c->finished.wait_for(lock, limit, [&] { return c->done; })) {
        c->givenUp = true;
        return WaitEnd::TimedOut;
    }
    return WaitEnd::Done;
}

} // namespace

bool waiting() { return waitsGoingOn > 0; }

WaitEnd waitFor(Worker& worker, std::function<void()> task, std::chrono::milliseconds limit)
{
    auto c = std::make_shared<Completion>();
    QCoreApplication* app = QCoreApplication::instance();
    const bool onGuiThread = qobject_cast<QApplication*>(app) && QThread::currentThread() == app->thread();
    worker.post([task = std::move(task), c, app, onGuiThread] {
        task();
        std::lock_guard lock(c->mutex);
        c->done = true;
        c->finished.notify_all();
        // While the waiter has not given up it is inside waitFor, so the
        // application still exists. Any event wakes it; this one does nothing else.
        if (onGuiThread && !c->givenUp)
            QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
    });
    if (!onGuiThread)
        return waitBlocking(c, limit);
    {
        // Most calls are done within a millisecond or two: no events are
        // processed for them, so the script runs on as if the call were its own.
        std::unique_lock lock(c->mutex);
        if (c->finished.wait_for(lock, quickCall, [&] { return c->done; }))
            return WaitEnd::Done;
    }

    // Events are processed here rather than in a nested QEventLoop: a window
    // closed by the running script must not be deleted under it, and Qt
    // deletes such windows in any event loop started after they closed.
    QObject scope;  // ends the connections below with this call
    bool stop = false;
    ++waitsGoingOn;
    struct Leave {
        ~Leave() { --waitsGoingOn; }
    } leave;
    InputGate gate;
    WaitEnd end = WaitEnd::Done;
    QElapsedTimer clock;
    clock.start();

    QPointer<WaitBox> box;
    QTimer boxTimer;
    boxTimer.setSingleShot(true);
    boxTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&boxTimer, &QTimer::timeout, &scope, [&] {
        box = new WaitBox(QApplication::activeWindow(), limit);
        box->setAttribute(Qt::WA_DeleteOnClose);
        gate.letThrough(box);
        QObject::connect(box, &QDialog::rejected, &scope, [&] {
            end = WaitEnd::Cancelled;
            stop = true;
        });
        box->showElapsed(std::chrono::milliseconds(clock.elapsed()));
        box->show();
        box->raise();
        box->activateWindow();
    });
    boxTimer.start(waitBoxDelay);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &scope, [&] {
        if (box)
            box->showElapsed(std::chrono::milliseconds(clock.elapsed()));
    });
    tick.start(250);

    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    limitTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limitTimer, &QTimer::timeout, &scope, [&] {
        end = WaitEnd::TimedOut;
        stop = true;
    });
    limitTimer.start(limit);

    bool busyCursor = false;
    QTimer cursorTimer;
    cursorTimer.setSingleShot(true);
    QObject::connect(&cursorTimer, &QTimer::timeout, &scope, [&] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        busyCursor = true;
    });
    cursorTimer.start(300);

    for (;;) {
        {
            std::lock_guard lock(c->mutex);
            if (c->done) {
                end = WaitEnd::Done;
                break;
            }
            if (stop) {
                c->givenUp = true;
                break;
            }
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (busyCursor)
        QApplication::restoreOverrideCursor();
    if (box) {
        box->hide();
        box->deleteLater();
    }
    return end;
}

} // namespace rt
