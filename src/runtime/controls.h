#pragma once
// Helpers to build controls from layout tables: placement in layout units,
// fonts, the tab order and the end of a control.

#include "runtime/script.h"

#include <QColor>
#include <QFont>
#include <QKeySequence>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

#include <initializer_list>
#include <utility>
#include <vector>

namespace rt {

// A font by the family name the layouts use; "Arial" and "Arial CE" map to
// a metric-compatible free font where Arial itself is missing.
QFont font(const char* family, int points, int weight = 400);

// Places a control at x, y with the given size, all in layout units.
void place(QWidget* control, int x, int y, int width, int height);

// A command button with its name, text and font, placed in layout units.
// It is nobody's default button unless the window says so.
QPushButton* commandButton(QWidget* parent, const char* name, const char* text, const QFont& font, int x, int y,
                           int width, int height);

// The controls sorted by tab-order number; equal numbers keep the order
// given, number 0 leaves a control out.
std::vector<QWidget*> byTabOrder(std::initializer_list<std::pair<QWidget*, int>> controls);
// Links the focus chain in the order given, skipping controls that take no focus.
void chainFocus(const std::vector<QWidget*>& ordered);
// Both at once.
void setTabOrder(std::initializer_list<std::pair<QWidget*, int>> controls);

// Keyboard shortcuts for a command button, within its window (within the
// control `scope` when one is given): each runs exactly what a click on the
// button runs. The button's tooltip lists them.
void shortcuts(QPushButton* button, std::initializer_list<QKeySequence> keys, QWidget* scope = nullptr);

// Enables or disables a control, as the scripts do. A text field that is
// disabled keeps the disabled look and takes no typing and no focus, yet its
// text can still be scrolled, read at a contrast people can read, and copied
// whole from its context menu: Qt's own disabled state would block all that.
void setEnabled(QWidget& control, bool on);
bool isEnabled(const QWidget& control);
// The text colour of a disabled field: the style's greyed text, darkened
// until it reaches 7:1 against the field's background (antialiased glyphs
// read lighter than their colour), still greyer than ordinary text.
QColor readableDisabledText(const QPalette& palette);
// The contrast ratio of two colours (WCAG 2: 1 to 21).
double contrast(const QColor& a, const QColor& b);

// Ends a control: it disappears at once and is deleted once the running
// handler has finished. The pointer is cleared, so a later use of it is a
// null object reference.
template <class T>
void destroyControl(T*& control)
{
    if (!control)
        return;
    control->hide();
    deleteWhenScriptsEnd(control);
    control = nullptr;
}

} // namespace rt

#include <QPlainTextEdit>

namespace rt {

// A multi-line field that gives back exactly the text it was given until the
// user changes it; QPlainTextEdit alone turns "\r\n" into "\n" and no-break
// spaces into blanks, which would change an entry saved without an edit.
class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;
    void setText(const QString& text);
    QString text() const;

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void fitWrapping(const QString& text);

    QString original_;
    QString shown_;  // how the field showed it
};

} // namespace rt
