// The program on each database product: no transaction left open between
// user actions, and any text stored and read back unchanged.

#include "dialogs/w_da_ne.h"
#include "runtime/transaction.h"
#include "support/dialog_driver.h"
#include "support/full_session.h"
#include "support/on_each_backend.h"
#include "support/running_program.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class Program : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        source().exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
        source().exec(QStringLiteral("INSERT INTO faq VALUES (2, 'two', 'q', '12/02/2026', 'p', 'l', 's')"));
        program.emplace();
    }
    void TearDown() override { program.reset(); }

    // Another program must be able to change every entry at once, and on
    // PostgreSQL no session of ours may sit in an open transaction.
    void expectNothingHeld(const char* after)
    {
        SCOPED_TRACE(after);
        if (backend() == Backend::PostgreSQL) {
            // A read's transaction ends on the grid's reader once the rows
            // are shown, a moment after the click.
            QStringList open = source().programSessionsInATransaction();
            for (int tries = 0; tries < 300 && !open.isEmpty(); ++tries) {
                QTest::qWait(10);
                open = source().programSessionsInATransaction();
            }
            EXPECT_EQ(open, QStringList());
            source().exec(QStringLiteral("SET lock_timeout = '3s'"));
        }
        // The SQLite fixture waits 5 seconds for a lock, then fails the test.
        source().exec(QStringLiteral("UPDATE faq SET lot = lot"));
        source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (900, 'probe')"));
        source().exec(QStringLiteral("DELETE FROM faq WHERE rbr = 900"));
    }
    static w_main& openEntry(const QString& parm) { return RunningProgram::openEntry(parm); }

    std::optional<RunningProgram> program;
};

} // namespace

TEST_P(Program, NoActionLeavesATransactionOpen)
{
    program->click(program->search().cb_search);
    expectNothingHeld("Search");
    program->clickRow(1);
    w_main& viewed = openEntry(QStringLiteral("1"));
    expectNothingHeld("View");
    viewed.cb_edit->click();
    viewed.em_lot->setText(QStringLiteral("changed"));
    viewed.cb_save->click();
    expectNothingHeld("Save as update");

    w_main& fresh = openEntry(QStringLiteral("0"));
    expectNothingHeld("New FAQ");
    fresh.mle_adresa->setPlainText(QStringLiteral("three"));
    fresh.cb_save->click();
    expectNothingHeld("Save as insert");

    g.rbr = 2;
    whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
    program->click(program->search().cb_delete);
    expectNothingHeld("Delete");

    // Failures: the change is refused by the database, then rolled back.
    source().exec(either(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON faq "
                                        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"),
                         QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                        "$$ BEGIN RAISE EXCEPTION 'refused'; END $$; "
                                        "CREATE TRIGGER refuse BEFORE UPDATE ON faq FOR EACH ROW "
                                        "EXECUTE FUNCTION refuse();")));
    w_main& refused = openEntry(QStringLiteral("1"));
    refused.cb_save->click();
    ASSERT_FALSE(program->boxes().empty());
    EXPECT_EQ(program->boxes().back().title, QStringLiteral("UPDATE faq SET ..."));
    EXPECT_TRUE(program->boxes().back().text.contains(QStringLiteral("refused")));
    EXPECT_FALSE(refused.isClosed());
    source().exec(QStringLiteral("DROP TRIGGER refuse") + either(QString(), QStringLiteral(" ON faq")));
    expectNothingHeld("a refused update");
    // PostgreSQL would refuse every later statement of an aborted transaction.
    refused.cb_save->click();
    EXPECT_TRUE(refused.isClosed());
    RunningProgram::settle();
}

// The first Search of a program left standing a while lists what the table
// holds at the click, whether it changed since the start or not.
TEST_P(Program, TheFirstSearchListsWhatIsThereAtTheClick)
{
    for (const bool changed : {false, true}) {
        SCOPED_TRACE(changed ? "changed meanwhile" : "unchanged");
        program.reset();
        program.emplace();
        QTest::qWait(600);
        if (changed)
            source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (3, 'three')"));
        program->click(program->search().cb_search);
        EXPECT_EQ(program->search().dw_search->rowCount(), changed ? 3 : 2);
    }
}

// So does every later one, whether a listing made before may serve for it
// or not: after no change, after another program's, and after one that
// program began before the last Search and committed after it.
TEST_P(Program, EverySearchListsWhatIsThereAtTheClick)
{
    rt::Transaction other;  // another program, its transaction held open across a Search
    other.DBMS = QStringLiteral("ODBC");
    other.DBParm = QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString());
    other.connect();
    ASSERT_EQ(other.SQLCode, 0) << other.SQLErrText.toStdString();
    const auto exec = [this](const char* sql) { return [this, sql] { source().exec(QString::fromLatin1(sql)); }; };
    const auto otherDoes = [&other](const char* sql) {
        return [&other, sql] {
            other.execute(QString::fromLatin1(sql));
            EXPECT_EQ(other.SQLCode, 0) << other.SQLErrText.toStdString();
        };
    };
    struct Step {
        const char* what;
        std::function<void()> meanwhile;
        long listed;
    };
    const Step steps[] = {
        {"first", [] {}, 2},
        {"nothing changed", [] {}, 2},
        {"an entry added", exec("INSERT INTO faq (rbr, adresa) VALUES (3, 'three')"), 3},
        {"an entry added, not committed yet", otherDoes("INSERT INTO faq (rbr, adresa) VALUES (4, 'four')"), 3},
        {"that entry committed", [&other] { other.commit(); }, 4},
        {"nothing changed again", [] {}, 4},
        {"an entry deleted", exec("DELETE FROM faq WHERE rbr = 1"), 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.meanwhile();
        program->click(program->search().cb_search);
        EXPECT_EQ(program->search().dw_search->rowCount(), step.listed);
    }
    EXPECT_TRUE(program->boxes().empty());
}

TEST_P(Program, AnyTextIsStoredAndReadBackUnchanged)
{
    const QString texts[] = {
        QString(1024 * 1024, u'x') + QStringLiteral("ž"),                 // more than a mebibyte
        QStringLiteral("     "),                                           // only blanks
        QStringLiteral("🐄🐖🐑 \U0001F9EA \U00010348 outside the BMP"),    // surrogate pairs
        QStringLiteral("שאלה על תרופה — سؤال عن الدواء"),                  // right to left
        QStringLiteral("'); DROP TABLE faq; --"),
        QStringLiteral("\"quoted\" 'single' `back` \\ % _ ; --"),
        QStringLiteral("line\nbreaks\r\nand\ttabs"),
        QStringLiteral("č ć đ š ž Č Ć Đ Š Ž"),
        QStringLiteral("\uFEFFstarts with a zero-width no-break space"),
    };
    for (const QString& text : texts) {
        w_main& w = openEntry(QStringLiteral("0"));
        const QString number = w.sle_rbr->text();
        w.mle_adresa->setText(text);
        w.mle_question->setText(text);
        w.em_proizvod->setText(text);
        w.em_lot->setText(text);
        w.mle_odgovor->setText(text);
        w.cb_save->click();
        ASSERT_TRUE(w.isClosed()) << (program->boxes().empty() ? std::string() : program->boxes().back().text.toStdString());
        RunningProgram::settle();

        w_main& back = openEntry(number);
        EXPECT_EQ(back.mle_adresa->text(), text);
        EXPECT_EQ(back.mle_question->text(), text);
        EXPECT_EQ(back.em_proizvod->text(), text);
        EXPECT_EQ(back.em_lot->text(), text);
        EXPECT_EQ(back.mle_odgovor->text(), text);
        EXPECT_EQ(source().scalar(QStringLiteral("SELECT adresa FROM faq WHERE rbr = %1").arg(number)), text)
            << "stored as the same characters for other programs";
        back.cb_close->click();
        RunningProgram::settle();
    }
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq")), QString::number(2 + std::size(texts)));
    EXPECT_TRUE(program->boxes().empty());
}

INSTANTIATE_ON_EACH_BACKEND(Program);

namespace {
class FullSession : public OnEachBackend {};
} // namespace

// Under the sanitizers of ./test: any bad access or leak in our code fails it.
TEST_P(FullSession, ThroughEveryActionOverTheLargestTable)
{
    source().exec(fillWithAllNumbersSql(backend() == Backend::PostgreSQL));
    RunningProgram program;
    const QStringList problems = runFullSession(program);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("32766"));
}

INSTANTIATE_ON_EACH_BACKEND(FullSession);
