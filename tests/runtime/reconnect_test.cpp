// A connection that never came about, or was lost, is made again before the
// next statement.

#include "runtime/transaction.h"
#include "support/throwaway_data_source.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(Reconnect, DatabaseMissingAtStartIsReachedOnceItIsThere)
{
    ThrowawayDataSource source;
    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (1);"));
    const QString file = source.databaseFile();
    const QString aside = file + QStringLiteral(".aside");
    ASSERT_TRUE(QFile::rename(file, aside));
    ASSERT_TRUE(QDir().mkdir(file));  // a folder where the file should be: it cannot be opened

    rt::Transaction t;
    t.DBMS = QStringLiteral("ODBC");
    t.DBParm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'");
    t.connect();
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_FALSE(t.isConnected());
    rt::Int count;
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    EXPECT_LT(t.SQLCode, 0) << "still not there";
    EXPECT_FALSE(t.SQLErrText.isEmpty());

    ASSERT_TRUE(QDir().rmdir(file));
    ASSERT_TRUE(QFile::rename(aside, file));
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    EXPECT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(count, rt::Int(1));
    EXPECT_TRUE(t.isConnected());
    t.execute(QStringLiteral("INSERT INTO faq (rbr) VALUES (2)"));
    t.commit();
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT count(*) FROM faq")), QStringLiteral("2"));
}

TEST(Reconnect, NothingIsAttemptedBeforeTheFirstConnect)
{
    ThrowawayDataSource source;
    rt::Transaction t;
    t.DBMS = QStringLiteral("ODBC");
    t.DBParm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'");
    rt::Int count;
    t.selectInto(QStringLiteral("SELECT count(*) FROM faq"), {}, {&count});
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_EQ(t.SQLState, QStringLiteral("08003"));
}
