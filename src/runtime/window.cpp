#include "runtime/window.h"

#include "runtime/display.h"
#include "runtime/layout_units.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>

namespace rt {

namespace {
Qt::WindowFlags flagsFor(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Main:
        return Qt::Window;
    case WindowKind::Popup:
        return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
               | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    case WindowKind::Response:
        return Qt::Dialog | Qt::FramelessWindowHint;
    }
    return Qt::Window;
}
} // namespace

Window::Window(WindowKind kind, const char* name, QWidget* parent)
    : QWidget(parent, flagsFor(kind)), kind_(kind), name_(name)
{
    setObjectName(QString::fromLatin1(name));
    if (kind == WindowKind::Response)
        setWindowModality(Qt::ApplicationModal);
}

Window::~Window() = default;

int Window::X() const { return units::fromPixelsX(frameGeometry().x() - screenOrigin().x()); }
int Window::Y() const { return units::fromPixelsY(frameGeometry().y() - screenOrigin().y()); }
int Window::Width() const { return units::fromPixelsX(width()); }
int Window::Height() const { return units::fromPixelsY(height()); }

void Window::setX(int x) { move(screenOrigin().x() + units::toPixelsX(x), frameGeometry().y()); }
void Window::setY(int y) { move(frameGeometry().x(), screenOrigin().y() + units::toPixelsY(y)); }

void Window::setSize(int widthUnits, int heightUnits)
{
    resize(units::toPixelsX(widthUnits), units::toPixelsY(heightUnits));
}

void Window::closeEvent(QCloseEvent* event)
{
    // A response window without a title bar closes only through its buttons.
    finishClose();
    event->accept();
}

void Window::finishClose()
{
    if (closed_)
        return;
    closed_ = true;
    // The keyboard goes back to the window this one was opened from.
    if (isActiveWindow() && opener_ && opener_->isVisible())
        opener_->activateWindow();
    // Windows opened from this one close with it, each running its own destroy script.
    for (Window* child : findChildren<Window*>(Qt::FindDirectChildrenOnly))
        child->QWidget::close();
    hide();
    fire([this] { destroy(); });
    emit closed();
    // Never deleted at once: the handler that closed it may still be running.
    deleteWhenScriptsEnd(this);
}

bool close(Window* window)
{
    if (!window || window->isClosed())
        return false;
    // Through QWidget::close(), so Qt ends the run when the last window goes.
    window->QWidget::close();
    return window->isClosed();
}

bool closeWithReturn(Window* window, const QString& value)
{
    if (!window || window->isClosed())
        return false;
    detail::setStringParm(value);
    return close(window);
}

namespace detail {

void setStringParm(const std::optional<QString>& parm)
{
    if (Message* message = messageObject())
        message->StringParm = parm;
}

bool show(Window* window)
{
    window->opener_ = QApplication::activeWindow();
    window->show();
    // A window opened by an action takes the keyboard, as the user expects
    // to type into it at once.
    window->activateWindow();
    return true;
}

bool waitWhileOpen(Window* window)
{
    QPointer<Window> guard(window);
    QEventLoop loop;
    QObject::connect(window, &Window::closed, &loop, &QEventLoop::quit);
    if (guard && !guard->isClosed())
        loop.exec();
    return true;
}

} // namespace detail
} // namespace rt
