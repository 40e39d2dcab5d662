#include "entry/w_main.h"

#include "app/globals.h"
#include "data/faq_statements.h"
#include "export/entry_output.h"
#include "runtime/controls.h"
#include "runtime/conversions.h"
#include "runtime/message_box.h"
#include "search/w_search.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include <limits>

using rt::Int;
using rt::Script;
using rt::Text;

namespace {

constexpr auto kTitle = "Veterinary FAQ helper";
constexpr qint16 kNewIdFailed = -27008;
// Call-site tags of the failure markers.
constexpr std::uint32_t kOpenCentre = 0x0e1a101;
constexpr std::uint32_t kOpenLoad = 0x0e1a102;
constexpr std::uint32_t kOpenNumber = 0x0e1a103;
constexpr std::uint32_t kSaveClose = 0x0e1a201;
constexpr std::uint32_t kCloseClose = 0x0e1a301;
// How often a new entry tries the next free number when other users keep
// taking the one it chose.
constexpr int kInsertAttempts = 20;

QFont arial() { return rt::font("Arial", 10); }

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y, int width, int height)
{
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(arial());
    rt::place(l, x, y, width, height);
    return l;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, int x, int y, int width, int height)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    // Qt's default of 32767 characters would cut a longer stored text on its next save.
    e->setMaxLength(std::numeric_limits<int>::max());
    e->setFont(arial());
    rt::place(e, x, y, width, height);
    return e;
}

rt::MultiLineEdit* multiLineEdit(QWidget* parent, const char* name, int x, int y, int width, int height)
{
    auto* e = new rt::MultiLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFont(arial());
    e->setTabChangesFocus(true);  // Tab moves on, as in every other field
    rt::place(e, x, y, width, height);
    return e;
}

QString text(const QLineEdit& e) { return e.text(); }
QString text(const rt::MultiLineEdit& e) { return e.text(); }
void setText(QLineEdit& e, const Text& t) { e.setText(t.value_or(QString())); }
void setText(rt::MultiLineEdit& e, const Text& t) { e.setText(t.value_or(QString())); }

// The database's words, or ours where a change matched no entry and the
// driver said nothing.
QString errorText(const rt::Transaction& t)
{
    return t.SQLErrText.isEmpty() && t.SQLCode == 100 ? QStringLiteral("No entry was changed.") : t.SQLErrText;
}

// An insert refused because the number is taken. The SQLite driver reports
// the primary key's "UNIQUE constraint failed" without a class-23 SQLSTATE.
bool isDuplicateKey(const rt::Transaction& t)
{
    return t.SQLState.startsWith(QLatin1String("23")) || t.SQLErrText.contains(QLatin1String("UNIQUE constraint"))
           || t.SQLErrText.contains(QLatin1String("not unique")) || t.SQLErrText.contains(QLatin1String("must be unique"));
}

// Lists the entries again in the search window, as a click on its "Search".
void triggerSearch(const Script& s)
{
    w_search& search = s.need(g.w_search);
    s.need(search.cb_search);
    rt::fire([&] { search.cb_search_clicked(); });
}

} // namespace

std::optional<qint16> nextNumber(Int highest)
{
    if (!highest)
        return qint16(1);
    if (*highest >= 32767)
        return std::nullopt;
    return static_cast<qint16>(std::max<int>(*highest, 0) + 1);
}

namespace {

// The number for a new entry after the highest one the table holds. Entries
// numbered beyond 16 bits (a table may hold them) are passed over: the new
// one goes after the highest within range. Nullopt, after telling the user,
// when none is left or the database cannot say.
std::optional<qint16> numberAfter(rt::Transaction& sqlca, qint64 highest)
{
    Int inRange = highest <= 32767 ? Int(static_cast<qint16>(std::max<qint64>(highest, -32768))) : Int();
    if (highest > 32767) {
        faq::highestNumberInRange(sqlca, inRange);
        if (sqlca.SQLCode != 0) {
            rt::messageBox(QStringLiteral("Error"), QStringLiteral("Database error. NewID failed."), sqlca.explanation());
            return std::nullopt;
        }
    }
    const auto next = nextNumber(inRange);
    if (!next)
        rt::messageBox(QStringLiteral("Error"), QStringLiteral("No free entry number is left."),
                       QStringLiteral("Every entry number up to 32767 is taken. Delete entries that are no longer "
                                      "needed, starting with the highest numbers, to make room."));
    return next;
}

QString asClipboardText(const faq::EntryTexts& texts)
{
    static const char* const labels[] = {"Who:", "Question:", "Product:", "LOT:", "Solution:"};
    QString out;
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += QLatin1String(labels[i]) + u'\n' + texts[i].value_or(QString()) + QStringLiteral("\n\n");
    return out;
}

} // namespace

w_main::w_main(QWidget* opener) : rt::Window(rt::WindowKind::Popup, "w_main", opener)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setSize(3721, 2132);
    setFixedSize(size());
}

void w_main::create()
{
    Script s(rt::event("create", "w_main", "w_main"));
    s.line(2); sle_rbr = lineEdit(this, "sle_rbr", 1280, 1136, 183, 112);
    sle_rbr->setVisible(false);
    s.line(3); cb_save = rt::commandButton(this, "cb_save", "Save FAQ", arial(), 2720, 1804, 411, 108);
    s.line(4); cb_edit = rt::commandButton(this, "cb_edit", "Edit FAQ", arial(), 119, 1804, 411, 108);
    s.line(5); st_odgovor = label(this, "st_odgovor", "Solution:", 110, 1180, 411, 60);
    s.line(6); em_lot = lineEdit(this, "em_lot", 535, 1036, 3081, 80);
    s.line(7); st_lot = label(this, "st_lot", "LOT:", 119, 1036, 411, 80);
    s.line(8); em_proizvod = lineEdit(this, "em_proizvod", 535, 908, 3081, 80);
    s.line(9); st_pr = label(this, "st_pr", "Product:", 114, 908, 411, 80);
    s.line(10); st_qu = label(this, "st_qu", "Question:", 1435, 92, 411, 60);
    s.line(11); mle_question = multiLineEdit(this, "mle_question", 1435, 188, 2176, 628);
    s.line(12); st_ko = label(this, "st_ko", "Who:", 119, 84, 411, 60);
    s.line(13); mle_adresa = multiLineEdit(this, "mle_adresa", 110, 188, 1230, 628);
    s.line(14); cb_close = rt::commandButton(this, "cb_close", "Close", arial(), 3191, 1804, 411, 108);
    s.line(15); mle_odgovor = multiLineEdit(this, "mle_odgovor", 119, 1268, 3493, 460);
    s.line(16); gb_ram = new QGroupBox(this);
    gb_ram->setObjectName(QStringLiteral("gb_ram"));
    gb_ram->setFont(arial());
    rt::place(gb_ram, 27, 24, 3639, 1948);
    s.line(17); Control = {sle_rbr, cb_save, cb_edit, st_odgovor, em_lot, st_lot, em_proizvod, st_pr,
                           st_qu, mle_question, st_ko, mle_adresa, cb_close, mle_odgovor, gb_ram};

    gb_ram->lower();  // it frames all other controls
    // Each label names its field, for the eye and for screen readers.
    for (auto [caption, field] : {std::pair<QLabel*, QWidget*>{st_ko, mle_adresa}, {st_qu, mle_question},
                                  {st_pr, em_proizvod}, {st_lot, em_lot}, {st_odgovor, mle_odgovor}}) {
        caption->setBuddy(field);
        field->setAccessibleName(caption->text().chopped(1));
    }
    rt::shortcuts(cb_edit, {QKeySequence(Qt::CTRL | Qt::Key_E)});
    rt::shortcuts(cb_save, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    // Escape closes only a window that holds nothing typed.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (cb_close && pristine_ && typedTexts() == *pristine_)
            cb_close->click();
    });
    if (cb_close)
        cb_close->setToolTip(QStringLiteral("Close (Esc, when nothing was changed)"));
    // Print or keep the entry as stored: from a context menu on the window, and Ctrl+P.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* print = menu.addAction(QStringLiteral("Print entry\u2026"), this, &w_main::printEntry);
        print->setShortcut(QKeySequence::Print);
        print->setShortcutVisibleInContextMenu(true);
        menu.addAction(QStringLiteral("Save entry as PDF\u2026"), this, &w_main::saveEntryAsPdf);
        menu.exec(mapToGlobal(at));
    });
    auto* print = new QShortcut(QKeySequence::Print, this);
    connect(print, &QShortcut::activated, this, &w_main::printEntry);
    rt::setTabOrder({{sle_rbr, 90}, {cb_save, 80}, {cb_edit, 70}, {em_lot, 40}, {em_proizvod, 30},
                     {mle_question, 20}, {mle_adresa, 10}, {cb_close, 100}, {mle_odgovor, 50}, {gb_ram, 60}});
    connect(cb_save, &QPushButton::clicked, this, [this] { rt::fire([this] { cb_save_clicked(); }); });
    connect(cb_edit, &QPushButton::clicked, this, [this] { rt::fire([this] { cb_edit_clicked(); }); });
    connect(cb_close, &QPushButton::clicked, this, [this] { rt::fire([this] { cb_close_clicked(); }); });
}

void w_main::destroy()
{
    Script s(rt::event("destroy", "w_main", "w_main"));
    s.line(2); rt::destroyControl(sle_rbr);
    s.line(3); rt::destroyControl(cb_save);
    s.line(4); rt::destroyControl(cb_edit);
    s.line(5); rt::destroyControl(st_odgovor);
    s.line(6); rt::destroyControl(em_lot);
    s.line(7); rt::destroyControl(st_lot);
    s.line(8); rt::destroyControl(em_proizvod);
    s.line(9); rt::destroyControl(st_pr);
    s.line(10); rt::destroyControl(st_qu);
    s.line(11); rt::destroyControl(mle_question);
    s.line(12); rt::destroyControl(st_ko);
    s.line(13); rt::destroyControl(mle_adresa);
    s.line(14); rt::destroyControl(cb_close);
    s.line(15); rt::destroyControl(mle_odgovor);
    s.line(16); rt::destroyControl(gb_ram);
    Control.clear();
}

void w_main::open()
{
    Script s(rt::event("open", "w_main", "w_main"));
    s.line(3); s.need(g.w_search); s.call(kOpenCentre, [&] { g.w_search->centriraj_prozor(this); });
    s.line(5); const Int broj = rt::toInteger(s.need(rt::messageObject()).StringParm);
    s.line(7); if (broj && *broj > 0) {
        requested_ = *broj;
        s.line(8); rt::setEnabled(s.need(mle_adresa), false);
        s.line(9); rt::setEnabled(s.need(mle_question), false);
        s.line(10); rt::setEnabled(s.need(em_proizvod), false);
        s.line(11); rt::setEnabled(s.need(em_lot), false);
        s.line(12); rt::setEnabled(s.need(mle_odgovor), false);
        s.line(13); s.call(kOpenLoad, [&] { prikazifaq(*broj); });
        s.line(14);
    } else {
        numbered_ = true;
        s.line(15); s.need(sle_rbr).setText(rt::toText(s.call(kOpenNumber, [&] { return novibroj(); })).value_or(QString()));
        s.line(16); if (s.need(sle_rbr).text() == QLatin1String("0") || sle_rbr->text().isEmpty()) {
            s.line(17); s.need(sle_rbr).setText(QStringLiteral("1"));
        }
    }
    s.end(21);
    pristine_ = typedTexts();
    // The keyboard starts where the work is: in "Who:" for a new entry,
    // on "Edit FAQ" for one shown read-only.
    if (rt::isEnabled(*mle_adresa))
        mle_adresa->setFocus();
    else
        cb_edit->setFocus();
}

qint16 w_main::prikazifaq(qint16 broj)
{
    Script s(rt::function("prikazifaq", "w_main"));
    rt::Transaction& sqlca = s.need(g.SQLCA);
    Text a_who, a_question, a_product, a_lot, a_solution;
    s.line(6); g.rbr = broj;
    s.line(8); const QString ls_sql = faq::loadEntrySql(g.rbr);
    s.line(9); s.need(g.SQLSA).prepare(ls_sql, sqlca);
    rt::DynamicCursor dyn_cursor(*g.SQLSA);
    s.line(13); dyn_cursor.open();
    s.line(14); if (sqlca.SQLCode < 0) {
        s.line(15); rt::messageBox(QStringLiteral("DataBase Error!"), sqlca.SQLErrText, sqlca.explanation());
        s.line(16); return static_cast<qint16>(sqlca.SQLCode);
    }
    for (;;) {
        s.line(19); if (sqlca.SQLCode != 0) break;
        s.line(21); dyn_cursor.fetch({&a_who, &a_question, &a_product, &a_lot, &a_solution});
        s.line(23); if (sqlca.SQLCode == 0) {
            s.line(24); s.need(sle_rbr).setText(*rt::toText(g.rbr));
            s.line(25); setText(s.need(mle_adresa), a_who);
            s.line(26); setText(s.need(mle_question), a_question);
            s.line(27); setText(s.need(em_proizvod), a_product);
            s.line(28); setText(s.need(em_lot), a_lot);
            s.line(29); setText(s.need(mle_odgovor), a_solution);
            shown_ = faq::EntryTexts{a_who, a_question, a_product, a_lot, a_solution};
            shownNumber_ = g.rbr;
            s.line(30);
        } else if (sqlca.SQLCode < 0) {
            s.line(31); rt::messageBox(QStringLiteral("DataBase Error"), sqlca.SQLErrText, sqlca.explanation());
            s.line(32); return static_cast<qint16>(sqlca.SQLCode);
        } else {
            s.line(34); break;
        }
        s.line(36);
    }
    s.line(38); dyn_cursor.close();
    s.line(39); return 0;
}

Int w_main::novibroj()
{
    Script s(rt::function("novibroj", "w_main"));
    Int broj;
    rt::Wide highest;
    s.line(3); broj = qint16(0);
    s.line(4); highest = broj; faq::highestNumber(s.need(g.SQLCA), highest);
    s.line(5); if (g.SQLCA->SQLCode != 0) {
        s.line(6); rt::messageBox(QStringLiteral("Error"), QStringLiteral("Database error. NewID failed."),
                                  g.SQLCA->explanation());
        s.line(7); return kNewIdFailed;
    }
    // An empty table gives null, which stays null; past 32767 there is no
    // number left, and wrapping round would name someone else's entry.
    s.line(9); if (highest) {
        const auto next = numberAfter(*g.SQLCA, *highest);
        if (!next)
            return kNewIdFailed;
        broj = *next;
    } else {
        broj.reset();
    }
    s.line(10); return broj;
}

bool w_main::takeFreshNumber(Int& number)
{
    rt::Transaction& sqlca = *g.SQLCA;
    rt::Wide highest;
    faq::highestNumber(sqlca, highest);
    if (sqlca.SQLCode != 0) {
        rt::messageBox(QStringLiteral("Error"), QStringLiteral("Database error. NewID failed."), sqlca.explanation());
        return false;
    }
    const auto next = highest ? numberAfter(sqlca, *highest) : std::optional<qint16>(1);
    if (!next)
        return false;
    number = *next;
    numbered_ = true;
    unconfirmed_.reset();
    sle_rbr->setText(*rt::toText(*next));
    return true;
}

void w_main::printEntry()
{
    const auto number = sle_rbr ? rt::toInteger(sle_rbr->text()) : std::nullopt;
    if (g.SQLCA && number && *number > 0)
        output::printEntry(this, g.SQLCA->settings(), *number);
}

void w_main::saveEntryAsPdf()
{
    const auto number = sle_rbr ? rt::toInteger(sle_rbr->text()) : std::nullopt;
    if (g.SQLCA && number && *number > 0)
        output::saveEntryAsPdf(this, g.SQLCA->settings(), *number);
}

faq::EntryTexts w_main::typedTexts() const
{
    return {text(*mle_adresa), text(*mle_question), text(*em_proizvod), text(*em_lot), text(*mle_odgovor)};
}

void w_main::showTexts(const faq::EntryTexts& texts)
{
    setText(*mle_adresa, texts[0]);
    setText(*mle_question, texts[1]);
    setText(*em_proizvod, texts[2]);
    setText(*em_lot, texts[3]);
    setText(*mle_odgovor, texts[4]);
}

w_main::Go w_main::askSaveAgain(qint16 number)
{
    const QString again = QStringLiteral("Save as entry %1 again").arg(number);
    const int answer = rt::askBox(
        QStringLiteral("Save FAQ"), QStringLiteral("Entry %1 was deleted after this window showed it.").arg(number),
        QStringLiteral("%1: store what this window holds as entry %2, dated today.\n"
                       "Cancel: send nothing; the window stays as it is.")
            .arg(again)
            .arg(number),
        {again, QStringLiteral("Cancel")}, 1, 1);
    return answer == 0 ? Go::On : Go::Stop;
}

w_main::Go w_main::settleBeforeSave(rt::Transaction& sqlca, Int& number, const faq::EntryTexts& typed, Int& ima)
{
    const bool showsIt = shown_ && shownNumber_ == *number;
    if (!ima || *ima <= 0) {
        ima = qint16(0);
        return showsIt && !unconfirmed_ ? askSaveAgain(*number) : Go::On;
    }
    if (!showsIt && !unconfirmed_) {
        // A new entry whose number was taken meanwhile moves to the next free one.
        if (numbered_) {
            if (!takeFreshNumber(number))
                return Go::Stop;
            ima = qint16(0);
        }
        return Go::On;
    }
    for (;;) {
        faq::EntryTexts stored;
        faq::readEntryForChange(sqlca, number, stored);
        if (sqlca.SQLCode < 0) {
            rt::messageBox(QStringLiteral("UPDATE faq SET ..."), errorText(sqlca), sqlca.explanation());
            sqlca.rollback();
            return Go::Stop;
        }
        if (sqlca.SQLCode == 100) {  // deleted since the count
            sqlca.rollback();
            ima = qint16(0);
            return showsIt && !unconfirmed_ ? askSaveAgain(*number) : Go::On;
        }
        // Nothing of anybody else's would be overwritten: the update follows
        // in this same transaction.
        if (stored == typed || (unconfirmed_ && stored == *unconfirmed_) || (showsIt && stored == *shown_))
            return Go::On;
        // Nobody is kept waiting on this entry while a person decides.
        sqlca.rollback();
        if (!showsIt) {  // a new entry whose number someone else took
            if (!takeFreshNumber(number))
                return Go::Stop;
            ima = qint16(0);
            return Go::On;
        }
        const int answer = rt::askBox(
            QStringLiteral("Save FAQ"),
            QStringLiteral("Entry %1 was changed by someone else after this window showed it.").arg(*number),
            QStringLiteral("Overwrite: store your texts over theirs.\n"
                           "Show theirs: show the stored texts here; yours go to the clipboard.\n"
                           "Cancel: send nothing; the window stays as it is."),
            {QStringLiteral("Overwrite"), QStringLiteral("Show theirs"), QStringLiteral("Cancel")}, 2, 2);
        if (answer == 0) {
            // Theirs, as just read, is what may now be overwritten; a change
            // made meanwhile asks again.
            shown_ = stored;
            unconfirmed_.reset();
            continue;
        }
        if (answer == 1) {
            QGuiApplication::clipboard()->setText(asClipboardText(typed));
            showTexts(stored);
            shown_ = stored;
            pristine_ = stored;
            unconfirmed_.reset();
        }
        return Go::Stop;
    }
}

void w_main::commitFailed(rt::Transaction& sqlca, const QString& title, const faq::EntryTexts& sent)
{
    QString why = sqlca.explanation();
    if (sqlca.outcomeUnknown()) {
        // Whether the database got the commit is not known: the next save
        // finds out and stores the texts once, not twice.
        unconfirmed_ = sent;
        why += QStringLiteral("\n\nIt is not known whether the database stored the change. Save FAQ again: it "
                              "stores your texts once, whichever it was.");
    }
    rt::messageBox(title, errorText(sqlca), why.trimmed());
    sqlca.rollback();
}

void w_main::cb_save_clicked()
{
    Script s(rt::event("clicked", "cb_save", "w_main"));
    w_main& w = rt::parentWindow<w_main>(s, cb_save);
    rt::Transaction& sqlca = s.need(g.SQLCA);
    Int ima = qint16(0), a_rbr = qint16(0);
    Text a_who, a_question, a_product, a_lot, a_solution, datum;
    // An entry is never saved under a number that is not above 0.
    s.line(4); a_rbr = rt::toInteger(text(s.need(w.sle_rbr)));
    if ((!a_rbr || *a_rbr <= 0) && !w.takeFreshNumber(a_rbr))
        return;
    s.line(5); a_who = text(s.need(w.mle_adresa));
    s.line(6); a_question = text(s.need(w.mle_question));
    s.line(7); a_product = text(s.need(w.em_proizvod));
    s.line(8); a_lot = text(s.need(w.em_lot));
    s.line(9); a_solution = text(s.need(w.mle_odgovor));
    s.line(11); faq::countByNumber(sqlca, a_rbr, ima);
    s.line(12); if (sqlca.SQLCode < 0) {
        // Going on without the count could duplicate an existing entry.
        s.line(13); rt::messageBox(QStringLiteral("ERROR!"), QStringLiteral("SELECT (rbr) FROM faq"), sqlca.explanation());
        // A failed statement is undone at once: its leftovers must not reach
        // a later commit, and PostgreSQL refuses every statement of an
        // aborted transaction until it is rolled back.
        sqlca.rollback();
        return;
    }
    const faq::EntryTexts sent{a_who, a_question, a_product, a_lot, a_solution};
    if (w.settleBeforeSave(sqlca, a_rbr, sent, ima) == Go::Stop)
        return;
    s.line(16); if (ima && *ima > 0) {
        s.line(18); faq::updateTexts(sqlca, a_who, a_question, a_product, a_lot, a_solution, a_rbr);
        s.line(19); if (sqlca.SQLCode != 0) {
            s.line(20); rt::messageBox(QStringLiteral("UPDATE faq SET ..."), errorText(sqlca), sqlca.explanation());
            sqlca.rollback();
            s.line(21);
        } else {
            s.line(22); sqlca.commit();
            // A commit that failed is a failed change: nothing closes, nothing lists again.
            if (sqlca.SQLCode != 0)
                return w.commitFailed(sqlca, QStringLiteral("UPDATE faq SET ..."), sent);
            s.line(23); if (!rt::close(&w)) s.callFailed(kSaveClose);
            s.line(24); triggerSearch(s);
        }
        s.line(26);
    } else {
        s.line(27); datum = rt::todayText();
        s.line(28); faq::insertEntry(sqlca, a_rbr, a_who, a_question, datum, a_product, a_lot, a_solution);
        // Another user took the number between the count and the insert.
        for (int attempt = 1; attempt < kInsertAttempts && w.numbered_ && sqlca.SQLCode < 0 && isDuplicateKey(sqlca);
             ++attempt) {
            sqlca.rollback();
            if (!w.takeFreshNumber(a_rbr))
                return;
            faq::insertEntry(sqlca, a_rbr, a_who, a_question, datum, a_product, a_lot, a_solution);
        }
        s.line(29); if (sqlca.SQLCode != 0) {
            s.line(30); rt::messageBox(QStringLiteral("INSERT INTO faq VALUES(...)"), errorText(sqlca), sqlca.explanation());
            sqlca.rollback();
            s.line(31);
        } else {
            s.line(32); sqlca.commit();
            if (sqlca.SQLCode != 0)
                return w.commitFailed(sqlca, QStringLiteral("INSERT INTO faq VALUES(...)"), sent);
            s.line(33); if (!rt::close(&w)) s.callFailed(kSaveClose);
            s.line(34); triggerSearch(s);
        }
    }
    s.end(38);
}

void w_main::cb_edit_clicked()
{
    Script s(rt::event("clicked", "cb_edit", "w_main"));
    w_main& w = rt::parentWindow<w_main>(s, cb_edit);
    s.line(1); rt::setEnabled(s.need(w.mle_adresa), true);
    s.line(2); rt::setEnabled(s.need(w.mle_question), true);
    s.line(3); rt::setEnabled(s.need(w.em_proizvod), true);
    s.line(4); rt::setEnabled(s.need(w.em_lot), true);
    s.line(5); rt::setEnabled(s.need(w.mle_odgovor), true);
    s.line(7); s.setResult(0);
}

void w_main::cb_close_clicked()
{
    Script s(rt::event("clicked", "cb_close", "w_main"));
    s.line(1); if (!rt::close(&rt::parentWindow<w_main>(s, cb_close))) s.callFailed(kCloseClose);
    s.end(2);
}
