// Many users on one PostgreSQL server: the load simulation's set check, a
// short run of ten users at once (bench/load runs the same with figures),
// and a server that takes no more connections.

#include "load_simulation.h"
#include "bench_data.h"

#include "runtime/failure_cause.h"
#include "support/on_each_backend.h"
#include "support/running_program.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList texts(const char* who) { return {QString::fromUtf8(who), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("a")}; }

load::Record change(const char* action, qint64 rbr, const char* result, std::int64_t end, const char* who = "")
{
    return {QString::fromLatin1(action), 0, end, rbr, QString::fromLatin1(result), {}, texts(who)};
}

// A program started on a server whose table holds one entry.
class ProgramOnAServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
        source.emplace(Backend::PostgreSQL);
        source->exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
        program.emplace();
    }
    QStringList sessions() const { return source->programSessions(); }

    std::optional<ThrowawayDataSource> source;
    std::optional<RunningProgram> program;  // after the source, so it ends first
};

} // namespace

// The set check is the simulation's judge: it must see every way an entry
// can be lost, kept against orders, or stored twice.
TEST(LoadSetCheck, FindsEveryEntryThatIsNotAsTheUsersWereTold)
{
    const load::Table before{{1, texts("one")}, {2, texts("two")}, {3, texts("three")}};
    const std::vector<load::Record> records{
        change("save", 1, "ok", 10, "one, changed"),
        change("delete", 2, "ok", 20),
        change("new", 4, "ok", 30, "four"),
        change("save", 3, "unknown", 40, "three, maybe"),
        change("save", 3, "failed", 50, "three, never"),
        change("new", 5, "ok", 60, "five"),
        change("delete", 5, "ok", 70),
        change("new", 5, "ok", 80, "five again"),  // the freed number taken again
    };
    const struct {
        const char* what;
        load::Table after;
        int problems;
    } cases[] = {
        {"as told", {{1, texts("one, changed")}, {3, texts("three")}, {4, texts("four")}, {5, texts("five again")}}, 0},
        {"the unknown save stored", {{1, texts("one, changed")}, {3, texts("three, maybe")}, {4, texts("four")}, {5, texts("five again")}}, 0},
        {"a save lost", {{1, texts("one")}, {3, texts("three")}, {4, texts("four")}, {5, texts("five again")}}, 1},
        {"a failed save stored", {{1, texts("one, changed")}, {3, texts("three, never")}, {4, texts("four")}, {5, texts("five again")}}, 1},
        {"a new entry lost", {{1, texts("one, changed")}, {3, texts("three")}, {5, texts("five again")}}, 1},
        {"a deleted entry back", {{1, texts("one, changed")}, {2, texts("two")}, {3, texts("three")}, {4, texts("four")}, {5, texts("five again")}}, 1},
        {"an entry nobody saved", {{1, texts("one, changed")}, {3, texts("three")}, {4, texts("four")}, {5, texts("five again")}, {6, texts("six")}}, 1},
        {"a new entry stored twice", {{1, texts("one, changed")}, {3, texts("three")}, {4, texts("four")}, {5, texts("five again")}, {6, texts("four")}}, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load::setCheck(before, records, c.after).size(), c.problems)
            << c.what << ": " << load::setCheck(before, records, c.after).join(QStringLiteral("; ")).toStdString();
}

TEST(ManyUsers, TenAtOnceLoseNothingAndSeeNoError)
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
    ThrowawayDataSource source(Backend::PostgreSQL);
    bench::fill(400);
    QTemporaryDir folder;
    load::Plan plan;
    plan.userProgram = VETFAQ_LOAD_USER;
    plan.folder = folder.path().toStdString();
    plan.users = 10;
    plan.entries = 400;
    plan.actionsPerUser = 30;
    plan.thinkMs = 150;
    plan.seconds = 6;
    const load::Outcome out = load::simulate(plan);

    EXPECT_EQ(out.usersFailed, 0) << "their output is in " << plan.folder;
    QStringList errors;
    for (const auto& [kind, count] : out.errors)
        errors << QStringLiteral("%1 × %2").arg(count).arg(kind);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(out.problems.isEmpty()) << out.problems.join(QStringLiteral("; ")).toStdString();
    EXPECT_GT(out.actions.count(QStringLiteral("search")), 0U) << "the users did nothing";
    if (out.usersFailed > 0)
        folder.setAutoRemove(false);
}

// A Search opens a connection of its own; a server that has no room for it
// says so in the usual box, with words that do not blame the network, and an
// entry being saved over the connection already held is not lost.
TEST_F(ProgramOnAServer, AFullServerIsSaidSoAndLosesNothing)
{
    w_main& entry = RunningProgram::openEntry(QStringLiteral("1"));
    // The program's connection is the only one the database lets in now.
    source->exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I CONNECTION LIMIT 1', current_database()); END $$"));

    program->click(program->search().cb_search);
    ASSERT_EQ(program->boxes().size(), 1U);
    EXPECT_EQ(program->boxes()[0].title, QStringLiteral("Search failed"));
    EXPECT_TRUE(program->boxes()[0].text.contains(QStringLiteral("too many connections"))) << program->boxes()[0].text.toStdString();
    EXPECT_EQ(program->boxes()[0].informative, rt::explanation(rt::Cause::ServerFull, program->sqlca().waitLimit()));

    entry.cb_edit->click();
    entry.em_lot->setText(QStringLiteral("kept"));
    entry.cb_save->click();  // its list refresh fails as the Search did
    EXPECT_TRUE(entry.isClosed());
    EXPECT_EQ(source->scalar(QStringLiteral("SELECT lot FROM faq WHERE rbr = 1")), QStringLiteral("kept"));

    source->exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I CONNECTION LIMIT -1', current_database()); END $$"));
    const std::size_t boxes = program->boxes().size();
    program->click(program->search().cb_search);
    EXPECT_EQ(program->boxes().size(), boxes);
    EXPECT_EQ(program->search().dw_search->rowCount(), 1);
    RunningProgram::settle();
}

// A program just started on a server logs in for its first Search while
// the user finds the button: the Search reads over that connection.
TEST_F(ProgramOnAServer, TheFirstSearchFindsItsLogInMade)
{
    QElapsedTimer waited;
    waited.start();
    while (sessions().size() < 2 && waited.elapsed() < 5000)
        QTest::qWait(50);
    const QStringList before = sessions();
    ASSERT_EQ(before.size(), 2) << "the program's own and the one for the first Search";
    program->click(program->search().cb_search);
    EXPECT_EQ(program->search().dw_search->rowCount(), 1);
    EXPECT_EQ(sessions(), before) << "no log-in of its own";
    RunningProgram::settle();
}

// A Search's connection serves the Searches that follow it closely; a
// program then left open holds the one connection it holds all day.
TEST_F(ProgramOnAServer, AProgramLeftOpenHoldsOneConnection)
{
    program->click(program->search().cb_search);
    program->click(program->search().cb_search);
    EXPECT_EQ(program->search().dw_search->rowCount(), 1);
    QTest::qWait(200);
    EXPECT_EQ(sessions().size(), 2);
    QElapsedTimer waited;
    waited.start();
    while (sessions().size() != 1 && waited.elapsed() < 8000)
        QTest::qWait(100);
    EXPECT_EQ(sessions().size(), 1);
    EXPECT_GE(waited.elapsed(), 4000) << "let go too soon to serve the next Search";
    RunningProgram::settle();
}
