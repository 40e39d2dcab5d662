#pragma once
// Helpers to build controls from layout tables: placement in layout units,
// fonts, the tab order and the end of a control.

#include "runtime/script.h"

#include <QFont>
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
