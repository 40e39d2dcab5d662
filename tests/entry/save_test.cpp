// "Save FAQ": update or insert, commit, close, list again; and what happens
// when the database refuses.

#include "runtime/conversions.h"
#include "support/running_program.h"
#include "support/trace_capture.h"

#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "runtime/controls.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

namespace {

class Save : public ::testing::Test {
protected:
    static w_main& open(const QString& parm) { return RunningProgram::openEntry(parm); }
    static void fill(w_main& w, const QString& who, const QString& question, const QString& product,
                     const QString& lot, const QString& solution)
    {
        w.cb_edit->click();
        w.mle_adresa->setPlainText(who);
        w.mle_question->setPlainText(question);
        w.em_proizvod->setText(product);
        w.em_lot->setText(lot);
        w.mle_odgovor->setPlainText(solution);
    }
    QString stored(const char* column, int rbr) const
    {
        return source.scalar(QStringLiteral("SELECT %1 FROM faq WHERE rbr = %2").arg(QLatin1String(column)).arg(rbr))
            .value_or(QStringLiteral("<none>"));
    }
    QString count() const { return *source.scalar(QStringLiteral("SELECT count(*) FROM faq")); }
    static QString todayIso() { return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")); }

    // The save's own statement lines, nested scripts left out.
    static Lines saveLines(const Lines& lines)
    {
        Lines own;
        bool inside = false;
        for (const auto& l : lines) {
            if (l == "Executing event script clicked for class cb_save, lib entry w_main")
                inside = true;
            if (inside && (l.rfind("  Executing instruction", 0) == 0 || l.rfind("E", 0) == 0))
                own.push_back(l.substr(l.rfind("line ") == std::string::npos ? 0 : l.rfind("line ") + 5));
            if (l == "End event script clicked for class cb_save, lib entry w_main")
                break;
        }
        return own;
    }
    static Lines numbers(std::initializer_list<int> ns)
    {
        Lines lines = {"Executing event script clicked for class cb_save, lib entry w_main"};
        for (int n : ns)
            lines.push_back(std::to_string(n));
        lines.push_back("End event script clicked for class cb_save, lib entry w_main");
        return lines;
    }

    ThrowawayDataSource source;
    RunningProgram program;
};

} // namespace

TEST_F(Save, ViewedEntrySavedUnchangedIsUpdatedKeepsItsDateClosesAndListsAgain)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (17, 'w', 'q', '11/30/2026', 'p', 'l', 's');"));
    w_main& w = open(QStringLiteral("17"));
    TraceCapture trace;
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("datum", 17), QStringLiteral("2026-11-30 00:00:00"));
    EXPECT_EQ(stored("adresa", 17), QStringLiteral("w"));
    EXPECT_EQ(program.search().dw_search->rowCount(), 1) << "the search window lists again";
    EXPECT_EQ(saveLines(trace.lines()), numbers({4, 5, 6, 7, 8, 9, 11, 12, 16, 18, 19, 22, 23, 24, 26, 38}));
    EXPECT_TRUE(program.boxes().empty());
    RunningProgram::settle();
}

TEST_F(Save, NewEntryIsInsertedWithTodaysDateAndItsTextsUnchanged)
{
    w_main& w = open(QStringLiteral("0"));
    const QString who = QStringLiteral("O'Brien \"the vet\"\nFarm Čačak");
    const QString answer = QStringLiteral("Give 5 ml;\nrepeat after 2 days — ćšđžČŠĐŽĆ 🐄");
    fill(w, who, QStringLiteral("What's the dose?"), QStringLiteral("Vetamox"), QStringLiteral("L-22/ž"), answer);
    TraceCapture trace;
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("adresa", 1), who);
    EXPECT_EQ(stored("pitanje", 1), QStringLiteral("What's the dose?"));
    EXPECT_EQ(stored("proizvod", 1), QStringLiteral("Vetamox"));
    EXPECT_EQ(stored("lot", 1), QStringLiteral("L-22/ž"));
    EXPECT_EQ(stored("odgovor", 1), answer);
    EXPECT_EQ(stored("datum", 1), todayIso());
    EXPECT_EQ(saveLines(trace.lines()), numbers({4, 5, 6, 7, 8, 9, 11, 12, 16, 27, 28, 29, 32, 33, 34, 38}));
    RunningProgram::settle();

    // Loaded again, every character is as typed.
    w_main& again = open(QStringLiteral("1"));
    EXPECT_EQ(again.mle_adresa->toPlainText(), who);
    EXPECT_EQ(again.mle_odgovor->toPlainText(), answer);
}

TEST_F(Save, LineEndingsAndNoBreakSpacesFromElsewhereSurviveASave)
{
    const QString windows = QStringLiteral("line one\r\nline\u00a0two\r\n");
    source.exec(QStringLiteral("INSERT INTO faq VALUES (6, 'w', '%1', '11/30/2026', 'p', 'l', '%1');").arg(windows));
    w_main& w = open(QStringLiteral("6"));
    w.cb_edit->click();
    w.mle_odgovor->setPlainText(w.mle_odgovor->toPlainText() + QStringLiteral("three"));
    w.cb_save->click();
    EXPECT_EQ(stored("pitanje", 6), windows) << "an unchanged field is saved exactly as loaded";
    EXPECT_EQ(stored("odgovor", 6), QStringLiteral("line one\r\nline two\r\nthree"))
        << "a changed field keeps the carriage returns";
    RunningProgram::settle();
}

// Deleted by someone else while shown: the save asks, and stores it again
// under its number, dated today, only when told to.
TEST_F(Save, ViewedEntryDeletedMeanwhileComesBackUnderItsNumberWhenAsked)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (5, 'w', 'q', '11/30/2026', 'p', 'l', 's');"));
    w_main& w = open(QStringLiteral("5"));
    source.exec(QStringLiteral("DELETE FROM faq;"));
    program.answer({QStringLiteral("Cancel")});
    w.cb_save->click();
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].answers, (QStringList{QStringLiteral("Save as entry 5 again"), QStringLiteral("Cancel")}));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(stored("count(*)", 5), QStringLiteral("0"));

    program.answer({QStringLiteral("Save as entry 5 again")});
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("adresa", 5), QStringLiteral("w"));
    EXPECT_EQ(stored("datum", 5), todayIso());
    RunningProgram::settle();
}

TEST_F(Save, FailedUpdateKeepsTheWindowRollsBackAndTheNextSaveWorks)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (8, 'w', 'q', '11/30/2026', 'p', 'l', 's');"
                               "CREATE TABLE gate (open INTEGER);"
                               "CREATE TRIGGER guard BEFORE UPDATE ON faq WHEN (SELECT count(*) FROM gate) = 0 "
                               "BEGIN SELECT RAISE(ABORT, 'updates are closed'); END;"));
    w_main& w = open(QStringLiteral("8"));
    fill(w, QStringLiteral("changed"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    TraceCapture trace;
    w.cb_save->click();
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("UPDATE faq SET ..."));
    EXPECT_TRUE(program.boxes()[0].text.contains(QStringLiteral("updates are closed")));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("changed"));
    EXPECT_EQ(saveLines(trace.lines()), numbers({4, 5, 6, 7, 8, 9, 11, 12, 16, 18, 19, 20, 21, 26, 38}));
    // Nothing held open: another program writes at once.
    source.exec(QStringLiteral("INSERT INTO gate VALUES (1);"));

    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("adresa", 8), QStringLiteral("changed"));
    RunningProgram::settle();
}

TEST_F(Save, FailedInsertKeepsTheWindowAndLeavesNothingForALaterCommit)
{
    source.exec(QStringLiteral("CREATE TABLE gate (open INTEGER);"
                               "CREATE TRIGGER guard AFTER INSERT ON faq WHEN (SELECT count(*) FROM gate) = 0 "
                               "BEGIN SELECT RAISE(ABORT, 'inserts are closed'); END;"));
    w_main& w = open(QStringLiteral("0"));
    fill(w, QStringLiteral("who"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    TraceCapture trace;
    w.cb_save->click();
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("INSERT INTO faq VALUES(...)"));
    EXPECT_TRUE(program.boxes()[0].text.contains(QStringLiteral("inserts are closed")));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(saveLines(trace.lines()), numbers({4, 5, 6, 7, 8, 9, 11, 12, 16, 27, 28, 29, 30, 31, 38}));

    // Rolled back: nothing stored, nothing locked, and the next save works.
    source.exec(QStringLiteral("INSERT INTO gate VALUES (1);"));
    EXPECT_EQ(count(), QStringLiteral("0"));
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("adresa", 1), QStringLiteral("who"));
    RunningProgram::settle();
}

TEST_F(Save, FailedCountIsReportedAndTheSaveStops)
{
    w_main& w = open(QStringLiteral("0"));
    fill(w, QStringLiteral("who"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    source.exec(QStringLiteral("ALTER TABLE faq RENAME TO faq_away;"));
    w.cb_save->click();
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("ERROR!"));
    EXPECT_EQ(program.boxes()[0].text, QStringLiteral("SELECT (rbr) FROM faq"));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("who"));

    source.exec(QStringLiteral("ALTER TABLE faq_away RENAME TO faq;"));
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(count(), QStringLiteral("1"));
    RunningProgram::settle();
}

TEST_F(Save, EntryWithoutANumberTakesTheNextFreeOne)
{
    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (3, 'three');"));
    w_main& w = open(QStringLiteral("40"));  // no such entry: the number field stays empty
    ASSERT_TRUE(w.sle_rbr->text().isEmpty());
    fill(w, QStringLiteral("new"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    w.cb_save->click();
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(stored("adresa", 4), QStringLiteral("new"));
    EXPECT_EQ(count(), QStringLiteral("2")) << "nothing under 0";
    RunningProgram::settle();
}

TEST_F(Save, EntryWithoutANumberStaysOpenWhenNoNumberCanBeHad)
{
    w_main& w = open(QStringLiteral("0"));
    w.sle_rbr->setText(QStringLiteral("-27008"));
    fill(w, QStringLiteral("kept"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    source.exec(QStringLiteral("ALTER TABLE faq RENAME TO faq_away;"));
    w.cb_save->click();
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("Error"));
    EXPECT_EQ(program.boxes()[0].text, QStringLiteral("Database error. NewID failed."));
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("kept"));
}

TEST_F(Save, NewEntryNeverOverwritesOneSavedMeanwhileUnderItsNumber)
{
    w_main& first = open(QStringLiteral("0"));
    w_main& second = open(QStringLiteral("0"));
    ASSERT_EQ(first.sle_rbr->text(), QStringLiteral("1"));
    ASSERT_EQ(second.sle_rbr->text(), QStringLiteral("1"));
    fill(first, QStringLiteral("first"), QStringLiteral("q1"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    fill(second, QStringLiteral("second"), QStringLiteral("q2"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"));
    first.cb_save->click();
    // Another copy of the program takes number 2 meanwhile.
    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (2, 'elsewhere');"));
    second.cb_save->click();
    EXPECT_EQ(stored("adresa", 1), QStringLiteral("first"));
    EXPECT_EQ(stored("adresa", 2), QStringLiteral("elsewhere"));
    EXPECT_EQ(stored("adresa", 3), QStringLiteral("second"));
    EXPECT_TRUE(program.boxes().empty());
    RunningProgram::settle();
}

TEST_F(Save, WholeRoadSearchChooseViewEditChangeSave)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (1, 'Farm A', 'q', '12/01/2026', 'p', 'L-1', 's');"
                               "INSERT INTO faq VALUES (2, 'Farm B', 'q', '12/02/2026', 'p', 'L-2', 's');"));
    program.click(program.search().cb_search);
    ASSERT_EQ(program.search().dw_search->rowCount(), 2);
    program.clickRow(2);
    const qint16 chosen = g.rbr;
    program.click(program.search().cb_view);
    w_main& w = RunningProgram::onlyEntryWindow();
    EXPECT_FALSE(rt::isEnabled(*w.em_lot));
    program.click(w.cb_edit);
    w.em_lot->setText(QStringLiteral("L-changed"));
    program.click(w.cb_save);
    RunningProgram::settle();
    EXPECT_TRUE(RunningProgram::entryWindows().empty());
    EXPECT_EQ(stored("lot", chosen), QStringLiteral("L-changed"));
    const auto& rows = static_cast<const dw_pretraga::Model*>(program.search().dw_search->model())->rows();
    const auto changed = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.rbr && *r.rbr == chosen; });
    ASSERT_NE(changed, rows.end());
    EXPECT_EQ(changed->lot, std::optional<QString>(QStringLiteral("L-changed")));
    EXPECT_TRUE(program.boxes().empty());
}
