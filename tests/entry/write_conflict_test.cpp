// Two people edit the same entry: the second save does not silently
// overwrite the first. Each answer of the question, on both databases.

#include "support/on_each_backend.h"
#include "support/repaint_watch.h"
#include "support/running_program.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>

namespace {

class WriteConflict : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        source().exec(QStringLiteral("INSERT INTO faq VALUES (7, 'mine', 'q', '12/01/2026', 'p', 'l', 's')"));
        program.emplace();
    }
    void TearDown() override { program.reset(); }
    QString stored() const { return source().scalar(QStringLiteral("SELECT adresa FROM faq WHERE rbr = 7")).value_or("<none>"); }

    std::optional<RunningProgram> program;
};
INSTANTIATE_ON_EACH_BACKEND(WriteConflict);

} // namespace

TEST_P(WriteConflict, ChangedByAnotherUserAsksAndEachAnswerDoesWhatItSays)
{
    const struct {
        const char* answer;
        const char* stored;
        const char* shown;
        bool closes;
    } cases[] = {
        {"Cancel", "theirs", "ours", false},
        {"Show theirs", "theirs", "theirs", false},
        {"Overwrite", "ours", nullptr, true},
    };
    for (const auto& c : cases) {
        source().exec(QStringLiteral("UPDATE faq SET adresa = 'mine' WHERE rbr = 7"));
        w_main& w = RunningProgram::openEntry(QStringLiteral("7"));
        w.cb_edit->click();
        w.mle_adresa->setPlainText(QStringLiteral("ours"));
        // Another user, on a connection of their own, saves first.
        source().exec(QStringLiteral("UPDATE faq SET adresa = 'theirs' WHERE rbr = 7"));
        const std::size_t before = program->boxes().size();
        program->answer({QString::fromLatin1(c.answer)});
        measure((std::string("conflict answered ") + c.answer).c_str(), &w, [&] { program->click(w.cb_save); });
        ASSERT_EQ(program->boxes().size(), before + 1) << c.answer;
        const ShownBox& asked = program->boxes().back();
        EXPECT_TRUE(asked.text.contains(QStringLiteral("Entry 7 was changed"))) << asked.text.toStdString();
        EXPECT_EQ(asked.answers, (QStringList{"Overwrite", "Show theirs", "Cancel"}));
        EXPECT_EQ(stored(), QLatin1String(c.stored)) << c.answer;
        EXPECT_EQ(w.isClosed(), c.closes) << c.answer;
        if (!c.closes) {
            EXPECT_EQ(w.mle_adresa->toPlainText(), QLatin1String(c.shown)) << c.answer;
            if (QLatin1String(c.answer) == QLatin1String("Show theirs")) {
                EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("Who:\nours")));
                // What the window now shows is what is stored: the next save asks nothing.
                w.mle_adresa->setPlainText(QStringLiteral("merged"));
                program->click(w.cb_save);
                EXPECT_TRUE(w.isClosed());
                EXPECT_EQ(stored(), QStringLiteral("merged"));
                EXPECT_EQ(program->boxes().size(), before + 1);
            } else {
                w.close();
            }
        }
        RunningProgram::settle();
    }
}

// What makes the check hold: the entry is kept from changing between the
// check and the commit (a row lock on PostgreSQL, the write lock on SQLite),
// so a second connection's write waits for it or fails; it never slips in.
TEST_P(WriteConflict, NothingChangesTheEntryBetweenTheCheckAndTheCommit)
{
    rt::Transaction& t = program->sqlca();
    faq::EntryTexts texts;
    faq::readEntryForChange(t, qint16(7), texts);
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(texts[0], rt::Text(QStringLiteral("mine")));
    const QString write = either(QStringLiteral("PRAGMA busy_timeout = 300; UPDATE faq SET adresa = 'slipped in' WHERE rbr = 7"),
                                 QStringLiteral("SET lock_timeout = '300ms'; UPDATE faq SET adresa = 'slipped in' WHERE rbr = 7"));
    EXPECT_THROW(source().exec(write), std::runtime_error);
    faq::updateTexts(t, QStringLiteral("ours"), texts[1], texts[2], texts[3], texts[4], qint16(7));
    t.commit();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(stored(), QStringLiteral("ours"));
    source().dropSession();
    source().exec(QStringLiteral("UPDATE faq SET adresa = 'after' WHERE rbr = 7"));
    EXPECT_EQ(stored(), QStringLiteral("after"));
}
