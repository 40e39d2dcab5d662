#include "runtime/controls.h"

#include "runtime/layout_units.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QMimeData>

#include <cmath>

#include <algorithm>
#include <vector>

namespace rt {

QFont font(const char* family, int points, int weight)
{
    QString name = QString::fromLatin1(family);
    if (name == QLatin1String("Arial CE"))
        name = QStringLiteral("Arial");
    QFont f(name, points, weight);
    f.setFamilies({name, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void place(QWidget* control, int x, int y, int width, int height)
{
    control->setGeometry(units::toPixels(x, y, width, height));
}

QPushButton* commandButton(QWidget* parent, const char* name, const char* text, const QFont& font, int x, int y,
                           int width, int height)
{
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFont(font);
    b->setAutoDefault(false);
    place(b, x, y, width, height);
    return b;
}

std::vector<QWidget*> byTabOrder(std::initializer_list<std::pair<QWidget*, int>> controls)
{
    std::vector<std::pair<QWidget*, int>> numbered;
    for (const auto& c : controls)
        if (c.first && c.second > 0)
            numbered.push_back(c);
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    std::vector<QWidget*> ordered;
    for (const auto& c : numbered)
        ordered.push_back(c.first);
    return ordered;
}

void chainFocus(const std::vector<QWidget*>& ordered)
{
    std::vector<QWidget*> chain;
    for (QWidget* w : ordered)
        if (w->focusPolicy() != Qt::NoFocus)
            chain.push_back(w);
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void setTabOrder(std::initializer_list<std::pair<QWidget*, int>> controls) { chainFocus(byTabOrder(controls)); }

void shortcuts(QPushButton* button, std::initializer_list<QKeySequence> keys, QWidget* scope)
{
    QStringList names;
    for (const QKeySequence& key : keys) {
        auto* shortcut = new QShortcut(key, scope ? scope : button->window());
        shortcut->setContext(scope ? Qt::WidgetShortcut : Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isVisible() && button->isEnabled())
                button->click();
        });
        names << key.toString(QKeySequence::NativeText);
    }
    const QString tip = button->toolTip();
    button->setToolTip((tip.isEmpty() ? button->text() : tip) + QStringLiteral(" (") + names.join(QStringLiteral(", "))
                       + u')');
}

namespace {

constexpr auto kLocked = "vetfaqLocked";

double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

QColor mix(const QColor& from, const QColor& to, double share)
{
    return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * share),
                            static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * share),
                            static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * share));
}

QString wholeText(QWidget& field)
{
    if (auto* multi = qobject_cast<MultiLineEdit*>(&field))
        return multi->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(&field))
        return plain->toPlainText();
    if (auto* line = qobject_cast<QLineEdit*>(&field))
        return line->text();
    return {};
}

void setReadOnly(QWidget& field, bool readOnly)
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(&field))
        plain->setReadOnly(readOnly);
    else if (auto* line = qobject_cast<QLineEdit*>(&field))
        line->setReadOnly(readOnly);
}

QPalette lockedPalette(const QWidget& field)
{
    QPalette p = field.palette();
    const QColor text = readableDisabledText(p);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, p.color(QPalette::Disabled, QPalette::Base));
        p.setColor(group, QPalette::Text, text);
    }
    return p;
}

} // namespace

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableDisabledText(const QPalette& palette)
{
    const QColor background = palette.color(QPalette::Disabled, QPalette::Base);
    const QColor greyed = palette.color(QPalette::Disabled, QPalette::Text);
    const QColor full = palette.color(QPalette::Active, QPalette::Text);
    for (int step = 0; step <= 10; ++step) {
        const QColor candidate = mix(greyed, full, step / 10.0);
        if (contrast(candidate, background) >= 7.0)
            return candidate;
    }
    return full;
}

void setEnabled(QWidget& control, bool on)
{
    const bool textField = qobject_cast<QPlainTextEdit*>(&control) || qobject_cast<QLineEdit*>(&control);
    if (!textField) {
        control.setEnabled(on);
        return;
    }
    if (isEnabled(control) == on)
        return;
    control.setProperty(kLocked, !on);
    setReadOnly(control, !on);
    control.setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
    if (!on && control.hasFocus())
        control.clearFocus();
    if (on) {
        control.setPalette(QPalette());
        control.setContextMenuPolicy(Qt::DefaultContextMenu);
        return;
    }
    control.setPalette(lockedPalette(control));
    control.setContextMenuPolicy(Qt::CustomContextMenu);
    if (!control.property("vetfaqCopyMenu").toBool()) {
        control.setProperty("vetfaqCopyMenu", true);
        QObject::connect(&control, &QWidget::customContextMenuRequested, &control, [field = &control](const QPoint& at) {
            QMenu menu(field);
            menu.addAction(QStringLiteral("Copy"), field, [field] { QApplication::clipboard()->setText(wholeText(*field)); });
            menu.exec(field->mapToGlobal(at));
        });
    }
}

bool isEnabled(const QWidget& control) { return control.isEnabled() && !control.property(kLocked).toBool(); }

} // namespace rt

namespace rt {

namespace {
// Qt lays out a word longer than a line in time that grows with its square:
// a stored megabyte without a blank would freeze the window for a minute.
// Such a text wraps anywhere instead.
constexpr qsizetype kLongestWordWrapped = 4096;

bool hasOverlongWord(const QString& text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWordWrapped)
            return true;
    }
    return false;
}
} // namespace

void MultiLineEdit::setText(const QString& text)
{
    original_ = text;
    fitWrapping(text);
    setPlainText(text);
    shown_ = toPlainText();
}

void MultiLineEdit::fitWrapping(const QString& text)
{
    setWordWrapMode(hasOverlongWord(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void MultiLineEdit::insertFromMimeData(const QMimeData* source)
{
    if (source && source->hasText() && hasOverlongWord(source->text()))
        fitWrapping(source->text());
    QPlainTextEdit::insertFromMimeData(source);
}

QString MultiLineEdit::text() const
{
    if (toPlainText() == shown_)
        return original_;
    // Raw text keeps no-break spaces; paragraph breaks become line feeds, or
    // carriage return and line feed where the text came with those.
    QString t = document()->toRawText();
    t.replace(QChar::ParagraphSeparator, u'\n');
    if (original_.contains(QLatin1String("\r\n")))
        t.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return t;
}

} // namespace rt
