#pragma once
// Windows: opened with or without a string parameter, as modal response
// windows that close with a value, and closed; placed in layout units.

#include "runtime/message.h"
#include "runtime/script.h"

#include <QPointer>
#include <QWidget>

#include <optional>

namespace rt {

enum class WindowKind { Main, Popup, Response };

class Window;
namespace detail {
bool show(Window* window);
} // namespace detail

class Window : public QWidget {
    Q_OBJECT
public:
    Window(WindowKind kind, const char* name, QWidget* parent = nullptr);
    ~Window() override;

    const char* name() const { return name_; }
    WindowKind kind() const { return kind_; }

    // Position and size in layout units. The position is that of the whole
    // window, measured from the primary screen's top-left corner; the size is
    // that of its inside.
    int X() const;
    int Y() const;
    int Width() const;
    int Height() const;
    void setX(int units);
    void setY(int units);
    void setSize(int widthUnits, int heightUnits);

    bool isClosed() const { return closed_; }

    // Each runs the window's script of that name under the protocol.
    virtual void create() {}
    // Runs the constructor events of the controls, after create and before open.
    virtual void constructors() {}
    virtual void destroy() {}
    virtual void open() {}

signals:
    // Emitted once the window has closed and run its destroy script.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend bool close(Window* window);
    friend bool detail::show(Window* window);
    void finishClose();

    WindowKind kind_;
    const char* name_;
    bool closed_ = false;
    // The window that had the keyboard when this one opened.
    QPointer<QWidget> opener_;
};

// The window a control stands on: a null control is a null object
// reference, a control on no window of that kind has no parent.
template <class W = Window>
W& parentWindow(const Script& s, QWidget* control)
{
    auto* window = qobject_cast<W*>(s.need(control).window());
    if (!window)
        s.raise(MissingParent);
    return *window;
}

// Creates the window (create script), runs its open script, shows it.
// Returns null when the window could not be made.
template <class W, class... Args>
W* open(Args&&... args);

// As open(), with parm as the string parameter of the message object.
template <class W, class... Args>
W* openWithParm(const std::optional<QString>& parm, Args&&... args);

// Closes and destroys the window: its destroy script runs at once, the object
// itself goes away once the running handler has finished. False when it is
// already closed.
bool close(Window* window);
// Closes a response window, leaving value in the string parameter of the
// message object for the opener.
bool closeWithReturn(Window* window, const QString& value);

namespace detail {
bool show(Window* window);
bool waitWhileOpen(Window* window);
void setStringParm(const std::optional<QString>& parm);
} // namespace detail

template <class W, class... Args>
W* open(Args&&... args)
{
    auto* window = new W(std::forward<Args>(args)...);
    fire([&] { window->create(); });
    window->constructors();
    fire([&] { window->open(); });
    // The open script may already have closed it.
    if (window->isClosed())
        return nullptr;
    detail::show(window);
    if (window->kind() == WindowKind::Response)
        detail::waitWhileOpen(window);
    return window;
}

template <class W, class... Args>
W* openWithParm(const std::optional<QString>& parm, Args&&... args)
{
    detail::setStringParm(parm);
    return open<W>(std::forward<Args>(args)...);
}

} // namespace rt
