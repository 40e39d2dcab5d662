// The entry window: layout, how it opens, the load and the numbering.

#include "runtime/layout_units.h"
#include "support/running_program.h"
#include "support/trace_capture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "runtime/controls.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

namespace {

class EntryWindow : public ::testing::Test {
protected:
    static w_main& open(const QString& parm) { return RunningProgram::openEntry(parm); }
    static std::vector<QWidget*> fields(const w_main& w)
    {
        return {w.mle_adresa, w.mle_question, w.em_proizvod, w.em_lot, w.mle_odgovor};
    }
    ThrowawayDataSource source;
    RunningProgram program;
};

Lines functionTrace(const char* name, std::initializer_list<int> numbers, const std::string& indent = "  ")
{
    Lines lines = {indent + "Executing object function " + name + " for class w_main, lib entry w_main"};
    for (int n : numbers)
        lines.push_back(indent + "  Executing instruction at line " + std::to_string(n));
    lines.push_back(indent + "End object function " + name + " for class w_main, lib entry w_main");
    return lines;
}

// The lines of the open script itself, with the scripts it calls left out.
Lines ownLines(const Lines& all)
{
    const auto start = std::find(all.begin(), all.end(), "Executing event script open for class w_main, lib entry w_main");
    const Lines lines(start, all.end());
    Lines own;
    for (const auto& l : lines)
        if (l.rfind("    ", 0) != 0 && l.find("centriraj_prozor") == std::string::npos
            && l.find("object function") == std::string::npos)
            own.push_back(l);
    return own;
}

} // namespace

TEST_F(EntryWindow, ControlsStandWhereTheLayoutPutsThem)
{
    w_main& w = open(QStringLiteral("0"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Veterinary FAQ helper"));
    EXPECT_EQ(w.size(), QSize(814, 533));
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizable";
    struct Expected {
        QWidget* control;
        int x, y, width, height;
    };
    const Expected table[] = {
        {w.sle_rbr, 1280, 1136, 183, 112},      {w.cb_save, 2720, 1804, 411, 108},
        {w.cb_edit, 119, 1804, 411, 108},       {w.st_odgovor, 110, 1180, 411, 60},
        {w.em_lot, 535, 1036, 3081, 80},        {w.st_lot, 119, 1036, 411, 80},
        {w.em_proizvod, 535, 908, 3081, 80},    {w.st_pr, 114, 908, 411, 80},
        {w.st_qu, 1435, 92, 411, 60},           {w.mle_question, 1435, 188, 2176, 628},
        {w.st_ko, 119, 84, 411, 60},            {w.mle_adresa, 110, 188, 1230, 628},
        {w.cb_close, 3191, 1804, 411, 108},     {w.mle_odgovor, 119, 1268, 3493, 460},
        {w.gb_ram, 27, 24, 3639, 1948},
    };
    for (const auto& e : table)
        EXPECT_EQ(e.control->geometry(), rt::units::toPixels(e.x, e.y, e.width, e.height))
            << e.control->objectName().toStdString();
    EXPECT_FALSE(w.sle_rbr->isVisible());
    EXPECT_EQ(w.st_ko->text(), QStringLiteral("Who:"));
    EXPECT_EQ(w.st_qu->text(), QStringLiteral("Question:"));
    EXPECT_EQ(w.st_pr->text(), QStringLiteral("Product:"));
    EXPECT_EQ(w.st_lot->text(), QStringLiteral("LOT:"));
    EXPECT_EQ(w.st_odgovor->text(), QStringLiteral("Solution:"));
    EXPECT_EQ(w.cb_save->text(), QStringLiteral("Save FAQ"));
    EXPECT_EQ(w.cb_edit->text(), QStringLiteral("Edit FAQ"));
    EXPECT_EQ(w.cb_close->text(), QStringLiteral("Close"));

    // Tab runs Who, Question, Product, LOT, Solution, Edit, Save, Close.
    const std::vector<QWidget*> order = {w.mle_adresa, w.mle_question, w.em_proizvod, w.em_lot,
                                         w.mle_odgovor, w.cb_edit, w.cb_save, w.cb_close};
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget* next = order[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || !next->isVisibleTo(&w) || !w.isAncestorOf(next))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << order[i]->objectName().toStdString();
    }
}

TEST_F(EntryWindow, NumberAboveZeroShowsTheEntryGreyedAndEditUnlocksIt)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (17, 'Who 17', 'Question 17', '12/06/2026', 'Product 17', "
                               "'LOT 17', 'Answer 17');"));
    TraceCapture trace;
    w_main& w = open(QStringLiteral("17"));
    EXPECT_EQ(w.sle_rbr->text(), QStringLiteral("17"));
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("Who 17"));
    EXPECT_EQ(w.mle_question->toPlainText(), QStringLiteral("Question 17"));
    EXPECT_EQ(w.em_proizvod->text(), QStringLiteral("Product 17"));
    EXPECT_EQ(w.em_lot->text(), QStringLiteral("LOT 17"));
    EXPECT_EQ(w.mle_odgovor->toPlainText(), QStringLiteral("Answer 17"));
    EXPECT_EQ(g.rbr, 17);
    for (QWidget* f : fields(w))
        EXPECT_FALSE(rt::isEnabled(*f)) << f->objectName().toStdString();

    // The load, with the loop's lines: one row, then no more.
    const Lines load = functionTrace("prikazifaq", {6, 8, 9, 13, 14, 19, 21, 23, 24, 25, 26, 27, 28, 29, 30, 36,
                                                    19, 21, 23, 34, 38, 39});
    const auto at = std::search(trace.lines().begin(), trace.lines().end(), load.begin(), load.end());
    EXPECT_NE(at, trace.lines().end()) << "load trace not found";
    EXPECT_EQ(ownLines(trace.lines()),
              (Lines{"Executing event script open for class w_main, lib entry w_main",
                     "  Executing instruction at line 3", "  Executing instruction at line 5",
                     "  Executing instruction at line 7", "  Executing instruction at line 8",
                     "  Executing instruction at line 9", "  Executing instruction at line 10",
                     "  Executing instruction at line 11", "  Executing instruction at line 12",
                     "  Executing instruction at line 13", "  Executing instruction at line 14",
                     "  Executing instruction at line 21",
                     "End event script open for class w_main, lib entry w_main"}));

    trace.clear();
    w.cb_edit->click();
    for (QWidget* f : fields(w))
        EXPECT_TRUE(rt::isEnabled(*f)) << f->objectName().toStdString();
    EXPECT_EQ(trace.lines(), (Lines{"Executing event script clicked for class cb_edit, lib entry w_main",
                                    "  Executing instruction at line 1", "  Executing instruction at line 2",
                                    "  Executing instruction at line 3", "  Executing instruction at line 4",
                                    "  Executing instruction at line 5", "  Executing instruction at line 7",
                                    "End event script clicked for class cb_edit, lib entry w_main"}));
}

TEST_F(EntryWindow, AnythingButANumberAboveZeroStartsANewEntry)
{
    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (4), (9);"));
    for (const char* parm : {"0", "-5", "", "abc"}) {
        w_main& w = open(QString::fromLatin1(parm));
        EXPECT_EQ(w.sle_rbr->text(), QStringLiteral("10")) << parm;
        for (QWidget* f : fields(w))
            EXPECT_TRUE(rt::isEnabled(*f)) << parm;
        w.cb_close->click();
    }
    rt::openWithParm<w_main>(std::nullopt, g.w_search.data());
    EXPECT_EQ(RunningProgram::onlyEntryWindow().sle_rbr->text(), QStringLiteral("10")) << "null parameter";
}

TEST_F(EntryWindow, NewEntryInAnEmptyTableGetsNumberOne)
{
    TraceCapture trace;
    w_main& w = open(QStringLiteral("0"));
    EXPECT_EQ(w.sle_rbr->text(), QStringLiteral("1"));
    const Lines numbering = functionTrace("novibroj", {3, 4, 5, 9, 10});
    EXPECT_NE(std::search(trace.lines().begin(), trace.lines().end(), numbering.begin(), numbering.end()),
              trace.lines().end());
    EXPECT_EQ(ownLines(trace.lines()),
              (Lines{"Executing event script open for class w_main, lib entry w_main",
                     "  Executing instruction at line 3", "  Executing instruction at line 5",
                     "  Executing instruction at line 7", "  Executing instruction at line 15",
                     "  Executing instruction at line 16", "  Executing instruction at line 17",
                     "  Executing instruction at line 21",
                     "End event script open for class w_main, lib entry w_main"}));
}

TEST_F(EntryWindow, MissingEntryLeavesTheFieldsEmptyGreyedAndSaysNothing)
{
    w_main& w = open(QStringLiteral("40"));
    EXPECT_TRUE(w.sle_rbr->text().isEmpty());
    EXPECT_TRUE(w.mle_adresa->toPlainText().isEmpty());
    EXPECT_FALSE(rt::isEnabled(*w.mle_adresa));
    EXPECT_TRUE(program.boxes().empty());
    EXPECT_EQ(g.rbr, 40);
}

TEST_F(EntryWindow, FailuresOfTheLoadAndTheNumberingAreReported)
{
    source.exec(QStringLiteral("DROP TABLE faq;"));
    w_main& viewed = open(QStringLiteral("3"));
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("DataBase Error!"));
    EXPECT_TRUE(program.boxes()[0].text.contains(QStringLiteral("faq")));
    EXPECT_FALSE(rt::isEnabled(*viewed.mle_adresa));

    w_main& fresh = open(QStringLiteral("0"));
    ASSERT_EQ(program.boxes().size(), 2u);
    EXPECT_EQ(program.boxes()[1].title, QStringLiteral("Error"));
    EXPECT_EQ(program.boxes()[1].text, QStringLiteral("Database error. NewID failed."));
    EXPECT_EQ(fresh.sle_rbr->text(), QStringLiteral("-27008"));
}

TEST_F(EntryWindow, NoNumberIsLeftAfter32767)
{
    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (32767);"));
    w_main& w = open(QStringLiteral("0"));
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("Error"));
    EXPECT_EQ(program.boxes()[0].text, QStringLiteral("No free entry number is left."));
    EXPECT_EQ(w.sle_rbr->text(), QStringLiteral("-27008"));

    w.mle_adresa->setPlainText(QStringLiteral("kept"));
    w.cb_save->click();
    EXPECT_EQ(program.boxes().size(), 2u);
    EXPECT_EQ(program.boxes()[1].text, QStringLiteral("No free entry number is left."));
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("1"));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("kept"));
}

TEST_F(EntryWindow, CloseNeverTouchesTheDatabase)
{
    w_main& w = open(QStringLiteral("0"));
    w.mle_adresa->setPlainText(QStringLiteral("typed"));
    TraceCapture trace;
    w.cb_close->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("0"));
    EXPECT_EQ(trace.lines().front(), "Executing event script clicked for class cb_close, lib entry w_main");
    EXPECT_EQ(trace.lines().back(), "End event script clicked for class cb_close, lib entry w_main");
    EXPECT_EQ(trace.lines()[1], "  Executing instruction at line 1");
    EXPECT_EQ(trace.lines()[trace.lines().size() - 2], "  Executing instruction at line 2");
}
