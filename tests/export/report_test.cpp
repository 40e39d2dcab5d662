// Reports as PDF files: their pages as the file has them; work that is
// stopped leaves the file that was there before.

#include "export/csv_file.h"
#include "export/entry_report.h"
#include "pdf_pages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::vector<output::Entry> entries(int count, int answerLength = 600)
{
    std::vector<output::Entry> list;
    for (int i = 1; i <= count; ++i) {
        output::Entry e;
        e.rbr = i;
        e.adresa = QStringLiteral("Ivana Horvat, Ilica %1, Zagreb").arg(i);
        e.pitanje = QStringLiteral("Can Metacam be given to a pregnant cat? ").repeated(5);
        e.datum = QDateTime(QDate(2026, 12, 6), QTime(9, 30), Qt::UTC);
        e.proizvod = QStringLiteral("Metacam 1,5 mg/ml");
        e.lot = QStringLiteral("LOT-AB%1").arg(i);
        e.odgovor = QStringLiteral("No.\nAsk the vet. ").repeated(answerLength / 15);
        list.push_back(e);
    }
    return list;
}

const output::ReportHeading heading{QStringLiteral("FAQ entries"), QDateTime::currentDateTime(), 0};

} // namespace

TEST(report, ThePdfHasThePagesThePainterCountedAndGrowsWithTheEntries)
{
    QTemporaryDir dir;
    struct Case {
        int entries, answerLength;
    };
    int before = 0;
    for (const Case c : {Case{1, 600}, Case{12, 600}, Case{60, 600}, Case{1, 60000}}) {
        const QString path = dir.filePath(QStringLiteral("report-%1-%2.pdf").arg(c.entries).arg(c.answerLength));
        const output::WriteResult written = output::writePdf(entries(c.entries, c.answerLength), path, heading);
        ASSERT_TRUE(written.ok()) << written.error.toStdString();
        EXPECT_EQ(pagesIn(path), written.pages) << c.entries << " entries";
        if (c.answerLength == 600) {
            EXPECT_GT(written.pages, before) << c.entries << " entries";
            before = written.pages;
        }
    }
    EXPECT_EQ(pagesIn(dir.filePath(QStringLiteral("report-1-600.pdf"))), 1);
    EXPECT_GT(pagesIn(dir.filePath(QStringLiteral("report-1-60000.pdf"))), 5) << "one long answer runs over pages";
}

TEST(report, StoppedWorkLeavesTheFileThatWasThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out"));
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    const auto list = entries(100);
    const output::Progress stopHalfWay = [](std::size_t done) { return done < 50; };
    output::CsvRecords records(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        records.add(i, {list[i].rbr, *list[i].adresa, *list[i].pitanje, nullptr, *list[i].proizvod, *list[i].lot, *list[i].odgovor});
    EXPECT_EQ(records.write(path, {}, stopHalfWay).status, output::WriteResult::Stopped);
    EXPECT_EQ(output::writePdf(list, path, heading, stopHalfWay).status, output::WriteResult::Stopped);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out")}) << "no temporary file left";
}
