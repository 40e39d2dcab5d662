// The database server goes away while the program runs, and comes back.

#include "dialogs/w_da_ne.h"
#include "support/dialog_driver.h"
#include "support/on_each_backend.h"
#include "support/own_server.h"
#include "support/running_program.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// A PostgreSQL server of this test's own, since it is stopped on purpose.
class ServerLost : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.emplace();
        SKIP_UNLESS_POSTGRESQL(server_->why());
        source_.emplace(ThrowawayDataSource::Backend::PostgreSQL);
        source_->exec(QStringLiteral("INSERT INTO faq VALUES (1, 'one', 'q', '12/01/2026', 'p', 'l', 's')"));
        source_->exec(QStringLiteral("INSERT INTO faq VALUES (2, 'two', 'q', '12/02/2026', 'p', 'l', 's')"));
        program_.emplace();
    }
    void TearDown() override
    {
        program_.reset();
        source_.reset();
        server_.reset();
    }
    bool server(const QString& action)
    {
        const bool done = action == QLatin1String("pause") ? server_->pause() : server_->resume();
        if (action == QLatin1String("resume") && source_)
            source_->dropSession();
        return done;
    }
    bool shown(const QString& title) const
    {
        return std::any_of(program_->boxes().begin(), program_->boxes().end(),
                           [&](const ShownBox& b) { return b.title == title && !b.text.isEmpty(); });
    }

    std::optional<OwnServer> server_;
    std::optional<ThrowawayDataSource> source_;
    std::optional<RunningProgram> program_;
};

} // namespace

TEST_F(ServerLost, EveryActionSaysSoKeepsWhatWasTypedAndWorksAgainOnceTheServerIsBack)
{
    RunningProgram& program = *program_;
    program.click(program.search().cb_search);
    ASSERT_EQ(program.search().dw_search->rowCount(), 2);
    w_main* fresh = rt::openWithParm<w_main>(QStringLiteral("0"), g.w_search.data());
    ASSERT_TRUE(fresh);
    fresh->mle_adresa->setPlainText(QStringLiteral("typed while the server was away"));
    ASSERT_TRUE(program.boxes().empty());

    ASSERT_TRUE(server(QStringLiteral("pause")));

    program.click(program.search().cb_search);
    EXPECT_TRUE(shown(QStringLiteral("Search failed")));
    w_main* viewed = rt::openWithParm<w_main>(QStringLiteral("2"), g.w_search.data());
    EXPECT_TRUE(shown(QStringLiteral("DataBase Error!")));
    if (viewed)
        viewed->close();
    fresh->cb_save->click();
    EXPECT_TRUE(shown(QStringLiteral("ERROR!")));
    // The box says why, not only which statement.
    EXPECT_TRUE(program.boxes().back().informative.contains(QStringLiteral("cannot be reached")))
        << program.boxes().back().informative.toStdString();
    EXPECT_FALSE(fresh->isClosed());
    EXPECT_EQ(fresh->mle_adresa->toPlainText(), QStringLiteral("typed while the server was away"));
    g.rbr = 1;
    whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
    program.click(program.search().cb_delete);
    EXPECT_TRUE(shown(QStringLiteral("DELETE FROM faq WHERE rbr=1")));

    ASSERT_TRUE(server(QStringLiteral("resume")));
    const std::size_t boxesBefore = program.boxes().size();

    program.click(program.search().cb_search);
    EXPECT_EQ(program.search().dw_search->rowCount(), 2);
    fresh->cb_save->click();
    EXPECT_TRUE(fresh->isClosed());
    RunningProgram::settle();
    EXPECT_EQ(source_->scalar(QStringLiteral("SELECT adresa FROM faq WHERE rbr = 3")),
              QStringLiteral("typed while the server was away"));
    g.rbr = 1;
    whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
    program.click(program.search().cb_delete);
    EXPECT_EQ(source_->scalar(QStringLiteral("SELECT count(*) FROM faq WHERE rbr = 1")), QStringLiteral("0"));
    EXPECT_EQ(program.boxes().size(), boxesBefore) << program.boxes().back().title.toStdString() << ": "
                                                   << program.boxes().back().text.toStdString();
}
