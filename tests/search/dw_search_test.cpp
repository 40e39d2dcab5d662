// The result grid on a real SQLite data source: retrieval, highlight, cell
// values and the row the mouse reports.

#include "data/dw_pretraga.h"
#include "runtime/layout_units.h"
#include "runtime/script.h"
#include "search/dw_search.h"
#include "support/recorded_message_boxes.h"
#include "support/throwaway_data_source.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct grid_control : ::testing::Test {
    grid_control()
    {
        sqlca.DBMS = QStringLiteral("ODBC");
        sqlca.DBParm = QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString());
        grid.settrans(sqlca);
        grid.resize(rt::units::toPixelsX(3378), 300);
    }
    // Entries 1..n with numbered texts, inserted in one transaction.
    void fill(int n)
    {
        source.exec(QStringLiteral("BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                                   " INSERT INTO faq (rbr, adresa, datum, lot) SELECT i, 'Address ' || i,"
                                   " '2026-12-06 00:00:00', 'L' || i FROM n; COMMIT;")
                        .arg(n));
    }
    QString shown(int row, int column) const { return grid.model()->index(row - 1, column - 1).data().toString(); }
    std::vector<long> highlighted() const
    {
        std::vector<long> rows;
        for (long r = 1; r <= grid.rowCount(); ++r)
            if (grid.isSelected(r))
                rows.push_back(r);
        return rows;
    }

    ThrowawayDataSource source;
    rt::Transaction sqlca;
    dw_search grid;
};

} // namespace

TEST_F(grid_control, EmptyTableShowsTheCaptionsAndNoRows)
{
    EXPECT_EQ(grid.retrieve(), 0);
    EXPECT_EQ(grid.model()->rowCount(), 0);
    EXPECT_FALSE(grid.horizontalHeader()->isHidden());
    EXPECT_TRUE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Address"));
}

TEST_F(grid_control, ColumnsAndRowsKeepTheirLayoutSizesAfterRetrieve)
{
    fill(3);
    ASSERT_EQ(grid.retrieve(), 3);
    const int widths[] = {1, rt::units::toPixelsX(1746), rt::units::toPixelsX(603), rt::units::toPixelsX(955)};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(grid.columnWidth(c), widths[c]) << c;
    EXPECT_EQ(grid.columnViewportPosition(0), 0) << "the entry numbers stand at the left edge";
    EXPECT_EQ(grid.rowHeight(2), 19);
}

TEST_F(grid_control, AllOfTheLargestTableIsRetrieved)
{
    fill(32767);
    ASSERT_EQ(grid.retrieve(), 32767);
    EXPECT_EQ(grid.getitemnumber(1, 1), 1.0);
    EXPECT_EQ(grid.getitemnumber(32767, 1), 32767.0);
    EXPECT_EQ(shown(32767, 2), QStringLiteral("Address 32767"));
    EXPECT_EQ(shown(32767, 4), QStringLiteral("L32767"));
}

TEST_F(grid_control, GetitemnumberGivesTheEntryNumberOrTheErrorMarker)
{
    // An older database may hold numbers beyond 16 bits; today's schema keeps new ones out.
    source.exec(QStringLiteral("DROP TRIGGER faq_rbr_range_insert;"
                               "INSERT INTO faq (rbr, adresa, datum) VALUES (7, '12', '2026-12-06 00:00:00'), (70000, 'b', NULL)"));
    ASSERT_EQ(grid.retrieve(), 2);
    EXPECT_EQ(grid.getitemnumber(1, 1), 7.0);
    EXPECT_EQ(grid.getitemnumber(2, 1), 70000.0) << "the column cannot be seen but is read";
    const std::pair<long, int> outside[] = {{0, 1}, {3, 1}, {-1, 1}, {1, 0}, {1, 5}, {1, 2}, {1, 3}, {2, 3}};
    for (const auto& [row, column] : outside)
        EXPECT_TRUE(rt::isErrorMarker(grid.getitemnumber(row, column))) << row << "," << column;
}

TEST_F(grid_control, ListsOnlyWhatIsCommitted)
{
    sqlca.connect();
    sqlca.execute(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'a')"));
    ASSERT_EQ(sqlca.SQLCode, 0) << sqlca.SQLErrText.toStdString();
    EXPECT_EQ(grid.retrieve(), 0);
    sqlca.commit();
    EXPECT_EQ(grid.retrieve(), 1);
}

TEST_F(grid_control, FailedRetrieveIsReportedAndLeavesTheGridEmpty)
{
    RecordedMessageBoxes boxes;
    dw_search unset;
    EXPECT_EQ(unset.retrieve(), -1);

    fill(2);
    ASSERT_EQ(grid.retrieve(), 2);
    source.exec(QStringLiteral("DROP TABLE faq"));
    EXPECT_EQ(grid.retrieve(), -1);
    EXPECT_EQ(grid.rowCount(), 0);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].title, QStringLiteral("Search failed"));
    EXPECT_TRUE(boxes.shown()[1].text.contains(QStringLiteral("no such table: faq"))) << boxes.shown()[1].text.toStdString();
}

TEST_F(grid_control, SelectrowHighlightsRowsAndRowZeroClearsThemAll)
{
    fill(4);
    grid.retrieve();
    EXPECT_EQ(grid.selectrow(2, true), 1);
    EXPECT_EQ(grid.selectrow(4, true), 1);
    EXPECT_EQ(highlighted(), (std::vector<long>{2, 4}));
    EXPECT_EQ(grid.model()->index(1, 1).data(Qt::BackgroundRole).value<QBrush>(), grid.palette().brush(QPalette::Highlight));
    EXPECT_EQ(grid.selectrow(5, true), -1);
    grid.selectrow(0, false);
    EXPECT_EQ(highlighted(), std::vector<long>{});
    grid.selectrow(3, true);
    grid.retrieve();
    EXPECT_EQ(highlighted(), std::vector<long>{}) << "a retrieval starts without highlight";
}

TEST_F(grid_control, MouseReportsTheRowUnderItAndZeroOutsideTheRows)
{
    fill(3);
    grid.retrieve();
    grid.show();
    QSignalSpy clicked(&grid, &dw_search::clicked);
    QSignalSpy doubleclicked(&grid, &dw_search::doubleclicked);
    const auto centre = [&](int row) { return grid.visualRect(grid.model()->index(row - 1, 1)).center(); };

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, grid.viewport()->height() - 5));
    QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(50, 5));
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, centre(1));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre(3));

    QList<int> rows;
    for (const auto& args : clicked)
        rows << args.at(0).toInt();
    EXPECT_EQ(rows, (QList<int>{2, 0, 0, 3})) << "the double-click's first press is a click too";
    ASSERT_EQ(doubleclicked.size(), 1);
    EXPECT_EQ(doubleclicked.at(0).at(0).toInt(), 3);
    EXPECT_EQ(highlighted(), std::vector<long>{}) << "nothing is wired yet: the mouse alone highlights nothing";
}

// Moving with the keys or the scroll bar moves the focus frame and the view
// and reports nothing; Space on the framed row is a click on it, Enter a
// double-click.
TEST_F(grid_control, KeysMoveTheFrameSpaceClicksAndEnterDoubleClicksTheFramedRow)
{
    fill(100);
    grid.retrieve();
    grid.show();
    grid.setFocus();
    grid.selectrow(3, true);
    QSignalSpy clicked(&grid, &dw_search::clicked);
    QSignalSpy doubleclicked(&grid, &dw_search::doubleclicked);
    for (auto key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up, Qt::Key_Right})
        QTest::keyClick(&grid, key);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    EXPECT_EQ(highlighted(), std::vector<long>{3});
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
    EXPECT_EQ(clicked.size() + doubleclicked.size(), 0);
    EXPECT_EQ(grid.currentIndex().row(), 98) << "End, then Up";

    QTest::keyClick(&grid, Qt::Key_Space);
    QTest::keyClick(&grid, Qt::Key_Return);
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked[0][0].toInt(), 99);
    ASSERT_EQ(doubleclicked.size(), 1);
    EXPECT_EQ(doubleclicked[0][0].toInt(), 99);
}

// The date column shows every day of the year whole, in these locales too,
// with the grid's own font, column width and cell margins.
TEST_F(grid_control, EveryDateOfTheYearFitsItsColumn)
{
    const QFontMetrics metrics(dw_pretraga::font());
    const int margins = 2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1);
    const int room = grid.columnWidth(dw_pretraga::Datum) - margins;
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Croatian, QLocale::Croatia)}) {
        const QString pattern = dw_pretraga::shortDateTimePattern(locale);
        int widest = 0;
        QString widestText;
        for (QDate day(2024, 1, 1); day.year() == 2024; day = day.addDays(1))
            for (const QTime time : {QTime(0, 0), QTime(12, 59), QTime(23, 59)}) {
                const QString text = locale.toString(QDateTime(day, time, Qt::UTC), pattern);
                if (metrics.horizontalAdvance(text) > widest) {
                    widest = metrics.horizontalAdvance(text);
                    widestText = text;
                }
            }
        EXPECT_LE(widest, room) << locale.name().toStdString() << ": \"" << widestText.toStdString() << "\"";
    }
}
