// The statements on table faq, on a real SQLite and a real PostgreSQL data source.

#include "data/faq_statements.h"
#include "runtime/conversions.h"
#include "support/on_each_backend.h"

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

class FaqStatements : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        t.DBMS = QStringLiteral("ODBC");
        t.DBParm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'");
        t.connect();
        ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    }
    QString column(const char* name, int rbr) const
    {
        return source().scalar(QStringLiteral("SELECT %1 FROM faq WHERE rbr = $1").arg(QLatin1String(name)), {rbr})
            .value_or(QStringLiteral("<null>"));
    }

    rt::Transaction t;
};
INSTANTIATE_ON_EACH_BACKEND(FaqStatements);

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

TEST_P(FaqStatements, HighestNumberOfAnEmptyTableIsNull)
{
    rt::Wide broj = 0;
    faq::highestNumber(t, broj);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_FALSE(broj.has_value());

    source().exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (4), (17), (9), (32767), (-32768);"));
    faq::highestNumber(t, broj);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(broj, rt::Wide(32767));
}

// The date goes as the text mm/dd/yyyy. On PostgreSQL the test cluster reads
// dates day-first by default, so only the database's own DateStyle keeps
// 01/02 in January.
TEST_P(FaqStatements, InsertPutsTheDateFourthAndStoresItAsThatDay)
{
    faq::insertEntry(t, qint16(1), QStringLiteral("Farm Novak"), QStringLiteral("Dose for a calf?"),
                     rt::formatDate(QDate(2026, 12, 6)), QStringLiteral("Vetamox"), QStringLiteral("L-22"),
                     QStringLiteral("5 ml"));
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    faq::insertEntry(t, qint16(2), Text(), Text(), rt::formatDate(QDate(2027, 1, 2)), Text(), Text(), Text());
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    faq::insertEntry(t, qint16(3), Text(), Text(), rt::formatDate(QDate(2026, 12, 31)), Text(), Text(), Text());
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    t.commit();
    EXPECT_EQ(column("adresa", 1), QStringLiteral("Farm Novak"));
    EXPECT_EQ(column("pitanje", 1), QStringLiteral("Dose for a calf?"));
    EXPECT_EQ(column("datum", 1), QStringLiteral("2026-12-06 00:00:00"));
    EXPECT_EQ(column("proizvod", 1), QStringLiteral("Vetamox"));
    EXPECT_EQ(column("lot", 1), QStringLiteral("L-22"));
    EXPECT_EQ(column("odgovor", 1), QStringLiteral("5 ml"));
    EXPECT_EQ(column("datum", 2), QStringLiteral("2027-01-02 00:00:00"));
    EXPECT_EQ(column("datum", 3), QStringLiteral("2026-12-31 00:00:00"));
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq WHERE datum < $1"), {QStringLiteral("2026-12-31")}),
              QStringLiteral("1"))
        << "stored so that it sorts by date";

    Int ima = qint16(0);
    faq::countByNumber(t, qint16(1), ima);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(ima, Int(1));
    faq::countByNumber(t, qint16(9), ima);
    EXPECT_EQ(t.SQLCode, 0);
    EXPECT_EQ(ima, Int(0));
}

TEST_P(FaqStatements, InsertOfANumberThatExistsFailsAndKeepsTheEntry)
{
    source().exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (4, 'first')"));
    faq::insertEntry(t, qint16(4), QStringLiteral("second"), Text(), QStringLiteral("12/06/2026"), Text(), Text(), Text());
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_FALSE(t.SQLErrText.isEmpty());
    EXPECT_EQ(column("adresa", 4), QStringLiteral("first"));
}

TEST_P(FaqStatements, UpdateChangesTheFiveTextsAndKeepsTheDate)
{
    source().exec(QStringLiteral("INSERT INTO faq VALUES (3, 'a', 'b', '11/30/2026', 'c', 'd', 'e');"));
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

// Both drivers answer a delete or an update that matched nothing with
// SQL_NO_DATA, which the program sees as status 100.
TEST_P(FaqStatements, ChangesThatMatchNothingGive100)
{
    source().exec(QStringLiteral("INSERT INTO faq (rbr) VALUES (12), (13);"));
    faq::deleteEntry(t, qint16(12));
    EXPECT_EQ(t.SQLCode, 0);
    t.commit();
    EXPECT_EQ(source().column(QStringLiteral("SELECT rbr FROM faq")), QStringList{QStringLiteral("13")});

    faq::deleteEntry(t, qint16(12));
    EXPECT_EQ(t.SQLCode, 100);
    EXPECT_EQ(t.SQLErrText, QString());
    faq::updateTexts(t, QStringLiteral("w"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"),
                     QStringLiteral("s"), qint16(12));
    EXPECT_EQ(t.SQLCode, 100);
    faq::updateTexts(t, QStringLiteral("w"), QStringLiteral("q"), QStringLiteral("p"), QStringLiteral("l"),
                     QStringLiteral("s"), qint16(13));
    EXPECT_EQ(t.SQLCode, 0);
}

TEST_P(FaqStatements, LoadCursorDeliversTheFiveTextsInOrder)
{
    source().exec(QStringLiteral("INSERT INTO faq VALUES (7, 'who', 'question', '12/06/2026', 'product', 'lot', "
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

TEST_P(FaqStatements, LoadOfANegativeNumberRunsAndFindsNothing)
{
    rt::DynamicStagingArea sqlsa;
    sqlsa.prepare(faq::loadEntrySql(-27008), t);
    rt::DynamicCursor cursor(sqlsa);
    cursor.open();
    ASSERT_EQ(t.SQLCode, 0) << t.SQLErrText.toStdString();
    Text who = QStringLiteral("kept"), question, product, lot, solution;
    cursor.fetch({&who, &question, &product, &lot, &solution});
    EXPECT_EQ(t.SQLCode, 100);
    EXPECT_EQ(who, Text(QStringLiteral("kept")));
    cursor.close();
}

TEST_P(FaqStatements, FailuresInTheDatabaseReachTheErrorText)
{
    source().exec(QStringLiteral("DROP TABLE faq;"));
    const QString missing = either(QStringLiteral("no such table: faq"), QStringLiteral("relation \"faq\" does not exist"));
    rt::Wide broj;
    faq::highestNumber(t, broj);
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(missing)) << t.SQLErrText.toStdString();
    faq::insertEntry(t, qint16(1), QString(), QString(), QString(), QString(), QString(), QString());
    EXPECT_LT(t.SQLCode, 0);
    EXPECT_TRUE(t.SQLErrText.contains(missing)) << t.SQLErrText.toStdString();
}
