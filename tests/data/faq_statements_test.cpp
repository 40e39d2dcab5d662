// The statements on table faq, on a real SQLite data source.

#include "data/faq_statements.h"
#include "runtime/conversions.h"
#include "support/throwaway_data_source.h"

#include <gtest/gtest.h>

using rt::Int;
using rt::Text;

namespace {

// The statement texts as the program's first version wrote them, with a
// literal where each value goes.
QString withMarkers(QString text)
{
    return text.replace(QStringLiteral("' '"), QStringLiteral("?")).replace(QStringLiteral("=0 "), QStringLiteral("=? "))
        .replace(QStringLiteral("( 0 ,"), QStringLiteral("( ? ,"));
}

class FaqStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.DBMS = QStringLiteral("ODBC");
        t.DBParm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'");
        t.connect();
        ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    }
    QString column(const char* name, int rbr) const
    {
        return source.scalar(QStringLiteral("SELECT %1 FROM faq WHERE rbr = %2").arg(QLatin1String(name)).arg(rbr))
            .value_or(QStringLiteral("<null>"));
    }

    ThrowawayDataSource source;
    rt::Transaction t;
};

} // namespace

TEST(FaqStatementTexts, AreTheFixedTextsWithAMarkerForEachValue)
{
    EXPECT_EQ(faq::countByNumberSql, withMarkers(QStringLiteral("SELECT Count ( rbr ) FROM faq WHERE rbr =0 ")));
    EXPECT_EQ(faq::highestNumberSql, QStringLiteral("SELECT MAX ( rbr ) FROM faq "));
    EXPECT_EQ(faq::updateTextsSql,
              withMarkers(QStringLiteral(
                  "update faq SET adresa =' ' , pitanje =' ' , proizvod =' ' , lot =' ' , odgovor =' ' WHERE rbr =0 ")));
    EXPECT_EQ(faq::insertEntrySql,
              withMarkers(QStringLiteral("INSERT INTO faq VALUES ( 0 , ' ' , ' ' , ' ' , ' ' , ' ' , ' ' ) ")));
    EXPECT_EQ(faq::deleteEntrySql, withMarkers(QStringLiteral("DELETE FROM faq WHERE rbr =0 ")));
    EXPECT_EQ(faq::loadEntrySql(7), QStringLiteral("SELECT adresa, pitanje, proizvod, lot, odgovor FROM faq WHERE rbr=7"));
    EXPECT_EQ(faq::loadEntrySql(-27008),
              QStringLiteral("SELECT adresa, pitanje, proizvod, lot, odgovor FROM faq WHERE rbr=-27008"));
    for (const QString* text : {&faq::countByNumberSql, &faq::highestNumberSql, &faq::updateTextsSql,
                                &faq::insertEntrySql, &faq::deleteEntrySql})
        EXPECT_TRUE(text->endsWith(u' ') && !text->endsWith(QStringLiteral("  "))) << text->toStdString();
}

TEST_F(FaqStatements, HighestNumberOfAnEmptyTableIsNull)
{
    Int broj = qint16(0);
    faq::highestNumber(t, broj);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_FALSE(broj.has_value());

    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (4), (17), (9);"));
    faq::highestNumber(t, broj);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(broj, Int(17));
}

TEST_F(FaqStatements, InsertPutsTheDateFourthAndStoresItAsATimestamp)
{
    faq::insertEntry(t, qint16(1), QStringLiteral("Farm Novak"), QStringLiteral("Dose for a calf?"),
                     rt::formatDate(QDate(2026, 12, 6)), QStringLiteral("Vetamox"), QStringLiteral("L-22"),
                     QStringLiteral("5 ml"));
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    t.commit();
    EXPECT_EQ(column("adresa", 1), QStringLiteral("Farm Novak"));
    EXPECT_EQ(column("pitanje", 1), QStringLiteral("Dose for a calf?"));
    EXPECT_EQ(column("datum", 1), QStringLiteral("2026-12-06 00:00:00"));
    EXPECT_EQ(column("proizvod", 1), QStringLiteral("Vetamox"));
    EXPECT_EQ(column("lot", 1), QStringLiteral("L-22"));
    EXPECT_EQ(column("odgovor", 1), QStringLiteral("5 ml"));

    Int ima = qint16(0);
    faq::countByNumber(t, qint16(1), ima);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(ima, Int(1));
    faq::countByNumber(t, qint16(2), ima);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(ima, Int(0));
}

TEST_F(FaqStatements, UpdateChangesTheFiveTextsAndKeepsTheDate)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (3, 'a', 'b', '11/30/2026', 'c', 'd', 'e');"));
    const QString tricky = QStringLiteral("O'Brien said \"no\"\nčćđšž ČĆĐŠŽ");
    faq::updateTexts(t, tricky, QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"), QStringLiteral("s"),
                     qint16(3));
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    t.commit();
    EXPECT_EQ(column("adresa", 3), tricky);
    EXPECT_EQ(column("pitanje", 3), QStringLiteral("q"));
    EXPECT_EQ(column("proizvod", 3), QStringLiteral("p"));
    EXPECT_EQ(column("lot", 3), QStringLiteral("l"));
    EXPECT_EQ(column("odgovor", 3), QStringLiteral("s"));
    EXPECT_EQ(column("datum", 3), QStringLiteral("2026-11-30 00:00:00"));
}

TEST_F(FaqStatements, DeleteRemovesTheEntryAndReportsAMissOnTheSecondTry)
{
    source.exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (12), (13);"));
    faq::deleteEntry(t, qint16(12));
    EXPECT_EQ(t.SQLCode, 0);
    t.commit();
    EXPECT_EQ(source.scalar(QStringLiteral("SELECT group_concat(rbr) FROM faq")), QStringLiteral("13"));
    // The SQLite driver answers a delete that matched nothing with no data.
    faq::deleteEntry(t, qint16(12));
    EXPECT_EQ(t.SQLCode, 100);
}

TEST_F(FaqStatements, LoadCursorDeliversTheFiveTextsInOrder)
{
    source.exec(QStringLiteral("INSERT INTO faq VALUES (7, 'who', 'question', '12/06/2026', 'product', 'lot', "
                               "'answer');"));
    rt::DynamicStagingArea sqlsa;
    sqlsa.prepare(faq::loadEntrySql(7), t);
    rt::DynamicCursor cursor(sqlsa);
    cursor.open();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    Text who, question, product, lot, solution;
    cursor.fetch({&who, &question, &product, &lot, &solution});
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    EXPECT_EQ(who, Text(QStringLiteral("who")));
    EXPECT_EQ(question, Text(QStringLiteral("question")));
    EXPECT_EQ(product, Text(QStringLiteral("product")));
    EXPECT_EQ(lot, Text(QStringLiteral("lot")));
    EXPECT_EQ(solution, Text(QStringLiteral("answer")));
    cursor.fetch({&who, &question, &product, &lot, &solution});
    EXPECT_EQ(t.SQLCode, 100);
    EXPECT_EQ(who, Text(QStringLiteral("who")));
    cursor.close();
}

TEST_F(FaqStatements, FailuresInTheDatabaseReachTheErrorText)
{
    source.exec(QStringLiteral("DROP TABLE faq;"));
    Int broj;
    faq::highestNumber(t, broj);
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(QStringLiteral("no such table"))) << t.SQLErrText.toStdString();
    faq::insertEntry(t, qint16(1), QString(), QString(), QString(), QString(), QString(), QString());
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(QStringLiteral("faq"))) << t.SQLErrText.toStdString();
}
