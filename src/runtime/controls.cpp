#include "runtime/controls.h"

#include "runtime/layout_units.h"

#include <QMimeData>

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
