// Changes that cannot be stored are never reported as stored: a commit that
// fails (a full disk, the database refusing at commit), an SQLite database
// file replaced, removed or read-only under the running program, and entry
// numbers beyond 16 bits.

#include "dialogs/w_da_ne.h"
#include "support/dialog_driver.h"
#include "support/on_each_backend.h"
#include "support/repaint_watch.h"
#include "support/running_program.h"
#include "support/small_file_system.h"
#include "support/trace_capture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>
#include <sqlite3.h>


namespace {

QString storedAdresa(const ThrowawayDataSource& source, int rbr)
{
    return source.scalar(QStringLiteral("SELECT adresa FROM faq WHERE rbr = $1"), {rbr}).value_or(QStringLiteral("<none>"));
}

bool tracedLine(const std::vector<std::string>& lines, int n)
{
    const std::string wanted = "Executing instruction at line " + std::to_string(n);
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

// On SQLite the disk runs full, on PostgreSQL a deferred trigger refuses at
// commit: either way the change itself went through and its commit did not.
class CommitFails : public ::testing::TestWithParam<std::tuple<Backend, const char*>> {
protected:
    void SetUp() override
    {
        if (backend() == Backend::SQLite) {
            disk_.emplace(2048);
            if (disk_->why())
                GTEST_SKIP() << disk_->why()->toStdString();
            source_.emplace(ThrowawayDataSource::Schema::Faq, disk_->path());
        } else {
            SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
            source_.emplace(Backend::PostgreSQL);
        }
        source_->exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
    }
    Backend backend() const { return std::get<0>(GetParam()); }
    QString change() const { return QString::fromLatin1(std::get<1>(GetParam())); }

    void breakTheCommit()
    {
        if (disk_) {
            ASSERT_TRUE(disk_->fill());
            return;
        }
        source_->exec(QStringLiteral(
            "CREATE FUNCTION refuse_at_commit() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN RAISE EXCEPTION 'refused at commit'; END $$;"
            "CREATE CONSTRAINT TRIGGER at_commit AFTER INSERT OR UPDATE OR DELETE ON faq "
            "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refuse_at_commit();"));
    }
    void mendTheCommit()
    {
        if (disk_)
            ASSERT_TRUE(disk_->makeRoom());
        else
            source_->exec(QStringLiteral("DROP TRIGGER at_commit ON faq"));
    }

    std::optional<SmallFileSystem> disk_;
    std::optional<ThrowawayDataSource> source_;
};

std::string commitCaseName(const ::testing::TestParamInfo<std::tuple<Backend, const char*>>& info)
{
    return ThrowawayDataSource::name(std::get<0>(info.param)).toStdString() + "_" + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(, CommitFails,
                         ::testing::Combine(::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                                            ::testing::Values("Update", "Insert", "Delete")),
                         commitCaseName);

} // namespace

TEST_P(CommitFails, IsAFailedChangeThatKeepsEverythingTypedAndWorksOnceMended)
{
    RunningProgram program;
    program.click(program.search().cb_search);
    w_main* w = nullptr;
    if (change() == QLatin1String("Update")) {
        w = &RunningProgram::openEntry(QStringLiteral("1"));
        w->cb_edit->click();
    } else if (change() == QLatin1String("Insert")) {
        w = &RunningProgram::openEntry(QStringLiteral("0"));
    }
    if (w)
        w->mle_adresa->setPlainText(QStringLiteral("kept in the window"));
    breakTheCommit();

    TraceCapture trace;
    measure(("commit fails: " + commitCaseName({GetParam(), 0})).c_str(), w ? static_cast<QWidget*>(w) : &program.search(), [&] {
        if (w) {
            program.click(w->cb_save);
        } else {
            g.rbr = 1;
            whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
            program.click(program.search().cb_delete);
        }
    });
    ASSERT_EQ(program.boxes().size(), 1u);
    const ShownBox& box = program.boxes()[0];
    const QString title = change() == QLatin1String("Update")   ? QStringLiteral("UPDATE faq SET ...")
                          : change() == QLatin1String("Insert") ? QStringLiteral("INSERT INTO faq VALUES(...)")
                                                                 : QStringLiteral("DELETE FROM faq WHERE rbr=1");
    EXPECT_EQ(box.title, title);
    EXPECT_TRUE(box.text.contains(backend() == Backend::SQLite ? QStringLiteral("database or disk is full")
                                                               : QStringLiteral("refused at commit")))
        << box.text.toStdString();
    if (backend() == Backend::SQLite) {
        EXPECT_TRUE(box.informative.contains(QStringLiteral("disk that holds the database is full")));
    }
    EXPECT_EQ(storedAdresa(*source_, 1), QStringLiteral("one"));
    EXPECT_EQ(source_->scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("1"));
    if (w) {
        // Nothing closed and nothing listed as if it had worked.
        EXPECT_FALSE(w->isClosed());
        EXPECT_EQ(w->mle_adresa->toPlainText(), QStringLiteral("kept in the window"));
        EXPECT_FALSE(tracedLine(trace.lines(), 23) || tracedLine(trace.lines(), 33));
    }

    mendTheCommit();
    if (w) {
        program.click(w->cb_save);
        EXPECT_TRUE(w->isClosed());
        EXPECT_EQ(source_->scalar(QStringLiteral("SELECT count(*) FROM faq WHERE adresa = 'kept in the window'")),
                  QStringLiteral("1"));
    } else {
        whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
        program.click(program.search().cb_delete);
        EXPECT_EQ(storedAdresa(*source_, 1), QStringLiteral("<none>"));
    }
    EXPECT_EQ(program.boxes().size(), 1u) << program.boxes().back().text.toStdString();
    RunningProgram::settle();
}

namespace {

class DatabaseFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        source_.emplace();
        source_->exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
    }
    // What the SQLite file holds now, past ODBC; <none> where it is gone.
    QString fileHolds(int rbr) const
    {
        return QFile::exists(source_->databaseFile()) ? storedAdresa(*source_, rbr) : QStringLiteral("<none>");
    }
    std::optional<ThrowawayDataSource> source_;
};

} // namespace

// A backup put back in its place (a new file under the old name), or the
// file removed: nothing goes into the old file any more, the user is told,
// and the window keeps its texts. A removed file is never made again empty.
TEST_F(DatabaseFile, ReplacedOrRemovedUnderTheRunningProgramIsNoticedBeforeAnyChange)
{
    const QString file = source_->databaseFile();
    const QString backup = QFileInfo(file).dir().filePath(QStringLiteral("backup.db"));
    ASSERT_TRUE(QFile::copy(file, backup));

    RunningProgram program;
    w_main& w = RunningProgram::openEntry(QStringLiteral("1"));
    w.cb_edit->click();
    w.mle_adresa->setPlainText(QStringLiteral("typed"));

    // Replaced: renamed over, as a restore would.
    ASSERT_EQ(std::rename(QFile::encodeName(backup).constData(), QFile::encodeName(file).constData()), 0);
    measure("Save after the database file was replaced", &w, [&] { program.click(w.cb_save); });
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_TRUE(program.boxes()[0].informative.contains(QStringLiteral("moved, replaced or removed")))
        << program.boxes()[0].informative.toStdString();
    EXPECT_FALSE(w.isClosed());
    EXPECT_EQ(w.mle_adresa->toPlainText(), QStringLiteral("typed"));
    // Told, the user saves again: into the file now in its place.
    program.click(w.cb_save);
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(fileHolds(1), QStringLiteral("typed"));
    RunningProgram::settle();

    // Removed.
    w_main& again = RunningProgram::openEntry(QStringLiteral("1"));
    again.cb_edit->click();
    again.mle_adresa->setPlainText(QStringLiteral("typed twice"));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
    measure("Save after the database file was removed", &again, [&] { program.click(again.cb_save); });
    program.click(again.cb_save);
    program.click(program.search().cb_search);
    ASSERT_EQ(program.boxes().size(), 4u);
    EXPECT_TRUE(program.boxes()[1].informative.contains(QStringLiteral("moved, replaced or removed")));
    EXPECT_TRUE(program.boxes()[2].informative.contains(QStringLiteral("cannot be opened")))
        << program.boxes()[2].informative.toStdString();
    EXPECT_EQ(program.boxes()[3].title, QStringLiteral("Search failed"));
    EXPECT_FALSE(again.isClosed());
    EXPECT_EQ(again.mle_adresa->toPlainText(), QStringLiteral("typed twice"));
    EXPECT_FALSE(QFile::exists(file)) << "a missing database is not made again";
    RunningProgram::settle();
}

TEST(ReadOnlyDatabase, SaysSoAndNeverThatTheTableIsMissing)
{
    SmallFileSystem disk(2048);
    if (disk.why())
        GTEST_SKIP() << disk.why()->toStdString();
    ThrowawayDataSource source(ThrowawayDataSource::Schema::Faq, disk.path());
    source.exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
    ASSERT_TRUE(disk.makeReadOnly());

    RunningProgram program;
    w_main& w = RunningProgram::openEntry(QStringLiteral("0"));
    w.mle_adresa->setPlainText(QStringLiteral("new"));
    measure("Save on a read-only database", &w, [&] { program.click(w.cb_save); });
    ASSERT_FALSE(program.boxes().empty());
    for (const ShownBox& box : program.boxes()) {
        EXPECT_TRUE(box.informative.contains(QStringLiteral("read-only"))) << box.title.toStdString() << ": "
                                                                           << box.text.toStdString() << " / "
                                                                           << box.informative.toStdString();
        EXPECT_FALSE(box.text.contains(QStringLiteral("no such table")));
    }
    EXPECT_FALSE(w.isClosed());
    RunningProgram::settle();
}

// An entry numbered beyond 16 bits (an older SQLite database may hold one;
// the schema keeps new ones out) never blocks the numbering.
TEST(Numbering, AnEntryBeyond16BitsIsPassedOverAndNewEntriesKeepComing)
{
    ThrowawayDataSource source;
    EXPECT_THROW(source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (40000)")), std::runtime_error);
    source.exec(QStringLiteral("DROP TRIGGER faq_rbr_range_insert; INSERT INTO faq (rbr, adresa) VALUES (40000, 'old'), (3, 'x');"));
    // The schema takes such a database as it is.
    QFile schema(QStringLiteral(VETFAQ_SOURCE_DIR "/db/sqlite.sql"));
    ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
    source.exec(QString::fromUtf8(schema.readAll()));

    RunningProgram program;
    for (const char* number : {"4", "5"}) {
        program.click(program.search().cb_new);
        w_main& w = RunningProgram::onlyEntryWindow();
        EXPECT_EQ(w.sle_rbr->text(), QLatin1String(number));
        w.mle_adresa->setPlainText(QStringLiteral("new"));
        program.click(w.cb_save);
        EXPECT_TRUE(w.isClosed());
        RunningProgram::settle();
    }
    EXPECT_TRUE(program.boxes().empty()) << program.boxes().front().text.toStdString();
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq WHERE adresa = 'new'")), QStringLiteral("2"));
}

// Another program holds SQLite's write lock: the save waits about 5 s (the
// data source's Timeout, which the driver waits twice), painting all along,
// then says so and keeps the window.
TEST(LockedDatabase, ASaveWaitsAboutFiveSecondsThenSaysWhyAndKeepsTheWindow)
{
    ThrowawayDataSource source;
    source.exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
    RunningProgram program;
    w_main& w = RunningProgram::openEntry(QStringLiteral("1"));
    w.cb_edit->click();
    w.mle_adresa->setPlainText(QStringLiteral("typed"));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(source.databaseFile()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const Measured m = measure("Save with the SQLite write lock held elsewhere", &w, [&] { program.click(w.cb_save); });
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_GT(m.took, std::chrono::milliseconds(4000));
    EXPECT_LT(m.took, std::chrono::milliseconds(8000));
    EXPECT_LT(m.longestUnpainted, std::chrono::milliseconds(500));
    ASSERT_EQ(program.boxes().size(), 1u);
    EXPECT_TRUE(program.boxes()[0].informative.contains(QStringLiteral("Another program is writing")));
    EXPECT_FALSE(w.isClosed());
    program.click(w.cb_save);
    EXPECT_TRUE(w.isClosed());
    EXPECT_EQ(storedAdresa(source, 1), QStringLiteral("typed"));
    RunningProgram::settle();
}

// The connection dies during the commit (the server ends the session at that
// moment): whether the entry was stored is not known, the box says so, and
// "Save FAQ" again stores it once, whether the first commit landed or not.
class CommitUnanswered : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(, CommitUnanswered, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Landed" : "Lost"); });

TEST_P(CommitUnanswered, SavingAgainStoresTheNewEntryOnce)
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(Backend::PostgreSQL));
    const bool landed = GetParam();
    ThrowawayDataSource source(Backend::PostgreSQL);
    source.exec(QStringLiteral(
        "CREATE FUNCTION end_session() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(1); RETURN NULL; END $$;"
        "CREATE CONSTRAINT TRIGGER at_commit AFTER INSERT ON faq "
        "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION end_session();"));
    RunningProgram program;
    w_main& w = RunningProgram::openEntry(QStringLiteral("0"));
    w.mle_adresa->setPlainText(QStringLiteral("once"));
    program.click(w.cb_save);
    ASSERT_EQ(program.boxes().size(), 1u) << landed;
    EXPECT_EQ(program.boxes()[0].title, QStringLiteral("INSERT INTO faq VALUES(...)"));
    EXPECT_TRUE(program.boxes()[0].informative.contains(QStringLiteral("not known whether")))
        << program.boxes()[0].informative.toStdString();
    EXPECT_FALSE(w.isClosed());
    source.exec(QStringLiteral("DROP TRIGGER at_commit ON faq"));
    if (landed)  // as if the commit had reached the database and only its answer was lost
        source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa, pitanje, proizvod, lot, odgovor) "
                                   "VALUES (1, 'once', '', '', '', '')"));
    program.click(w.cb_save);
    EXPECT_TRUE(w.isClosed()) << landed;
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("1")) << landed;
    EXPECT_EQ(program.boxes().size(), 1u) << program.boxes().back().title.toStdString();
    RunningProgram::settle();
}
