#include "dialogs/w_da_ne.h"

#include "app/globals.h"
#include "runtime/controls.h"
#include "search/w_search.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

using rt::Script;

namespace {
constexpr std::uint32_t kOpenCentre = 0x0d4e101;
constexpr std::uint32_t kCloseNe = 0x0d4e201;
constexpr std::uint32_t kCloseDa = 0x0d4e301;
} // namespace

w_da_ne::w_da_ne() : rt::Window(rt::WindowKind::Response, "w_da_ne")
{
    setSize(1362, 556);
    setFixedSize(size());
}

void w_da_ne::create()
{
    Script s(rt::event("create", "w_da_ne", "w_da_ne"));
    s.line(2); cb_ne = rt::commandButton(this, "cb_ne", "NO", rt::font("Arial CE", 9, QFont::Bold), 183, 384, 402, 80);
    s.line(3); cb_da = rt::commandButton(this, "cb_da", "YES", rt::font("Arial CE", 9, QFont::Bold), 768, 384, 402, 80);
    s.line(4); mle_tekst = new QPlainTextEdit(this);
    mle_tekst->setObjectName(QStringLiteral("mle_tekst"));
    mle_tekst->setReadOnly(true);  // display-only: the question cannot be changed
    mle_tekst->setAccessibleName(QStringLiteral("Question"));
    mle_tekst->setFrameStyle(QFrame::NoFrame);
    mle_tekst->setFont(rt::font("Arial CE", 12));
    mle_tekst->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mle_tekst->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    {
        // Blanks take room like letters, so a run of leading blanks wraps the
        // words after it to the next line instead of hanging past the edge.
        QTextOption option = mle_tekst->document()->defaultTextOption();
        option.setWrapMode(QTextOption::WordWrap);
        option.setFlags(option.flags() | QTextOption::IncludeTrailingSpaces);
        option.setAlignment(Qt::AlignRight);
        mle_tekst->document()->setDefaultTextOption(option);
    }
    {
        // Button-face background, and a selection that stays visible without the focus.
        QPalette p = mle_tekst->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
        mle_tekst->setPalette(p);
    }
    rt::place(mle_tekst, 105, 96, 1143, 252);
    s.line(5); gb_1 = new QGroupBox(this);
    gb_1->setObjectName(QStringLiteral("gb_1"));
    gb_1->setFont(rt::font("Arial CE", 9, QFont::Bold));
    rt::place(gb_1, 27, 4, 1289, 512);
    s.line(6); Control = {cb_ne, cb_da, mle_tekst, gb_1};

    gb_1->lower();
    rt::setTabOrder({{cb_ne, 10}, {cb_da, 10}, {mle_tekst, 10}, {gb_1, 10}});
    cb_ne->setDefault(true);  // drawn as the default button
    for (QWidget* control : {static_cast<QWidget*>(this), static_cast<QWidget*>(cb_ne),
                             static_cast<QWidget*>(cb_da), static_cast<QWidget*>(mle_tekst), mle_tekst->viewport()})
        control->installEventFilter(this);
    connect(cb_ne, &QPushButton::clicked, this, [this] { rt::fire([this] { cb_ne_clicked(); }); });
    connect(cb_da, &QPushButton::clicked, this, [this] { rt::fire([this] { cb_da_clicked(); }); });
}

void w_da_ne::constructors()
{
    rt::fire([this] { mle_tekst_constructor(); });
}

void w_da_ne::destroy()
{
    Script s(rt::event("destroy", "w_da_ne", "w_da_ne"));
    s.line(2); rt::destroyControl(cb_ne);
    s.line(3); rt::destroyControl(cb_da);
    s.line(4); rt::destroyControl(mle_tekst);
    s.line(5); rt::destroyControl(gb_1);
    Control.clear();
}

void w_da_ne::open()
{
    Script s(rt::event("open", "w_da_ne", "w_da_ne"));
    s.line(1); s.need(g.w_search); s.call(kOpenCentre, [&] { g.w_search->centriraj_prozor(this); });
    s.end(3);
}

void w_da_ne::mle_tekst_constructor()
{
    Script s(rt::event("constructor", "mle_tekst", "w_da_ne"));
    // Shown exactly as passed, leading blanks and all; null gives an empty field.
    s.line(1); s.need(mle_tekst).setPlainText(s.need(rt::messageObject()).StringParm.value_or(QString()));
    s.end(3);
    // A screen reader reads the question as what the dialog is about.
    setAccessibleDescription(mle_tekst->toPlainText().trimmed());
}

void w_da_ne::cb_ne_clicked()
{
    Script s(rt::event("clicked", "cb_ne", "w_da_ne"));
    s.line(1); if (!rt::closeWithReturn(&rt::parentWindow(s, cb_ne), QStringLiteral("NE"))) s.callFailed(kCloseNe);
    s.end(3);
}

void w_da_ne::cb_da_clicked()
{
    Script s(rt::event("clicked", "cb_da", "w_da_ne"));
    s.line(1); if (!rt::closeWithReturn(&rt::parentWindow(s, cb_da), QStringLiteral("DA"))) s.callFailed(kCloseDa);
    s.end(3);
}

// "NO" is the default button: Enter presses it unless "YES" has the focus.
// Escape answers "NO" too, since the dialog has no title bar to close it by.
bool w_da_ne::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QPushButton* target = (cb_da && focusWidget() == cb_da) ? cb_da : cb_ne;
            if (target)
                target->click();
            return true;
        }
        if (key == Qt::Key_Escape) {
            if (cb_ne)
                cb_ne->click();
            return true;
        }
    }
    return rt::Window::eventFilter(watched, event);
}
