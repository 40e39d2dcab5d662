// Exports and reports that fail say why in a box and leave no file; a
// single entry is read by its number and printed fresh.

#include "export/entry_output.h"
#include "export/output_steps.h"
#include "pdf_pages.h"
#include "support/on_each_backend.h"
#include "support/recorded_message_boxes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

rt::ConnectionSettings settings()
{
    return {QStringLiteral("ODBC"), false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

class output_actions : public OnEachBackend {
protected:
    void SetUp() override
    {
        OnEachBackend::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        source().exec(QStringLiteral("INSERT INTO faq VALUES (1, 'Farm Novak', 'q1', '12/01/2026', 'p1', 'L-1', 'a1');"
                                     "INSERT INTO faq VALUES (2, 'Dr. Šimić', 'q2', '12/02/2026', 'p2', 'L-2', 'a2');"));
    }
    QTemporaryDir dir;
};
INSTANTIATE_ON_EACH_BACKEND(output_actions);

} // namespace

TEST_P(output_actions, AFailureShowsItsBoxAndLeavesNoFile)
{
    using output::Selection;
    const QString missingFolder = dir.filePath(QStringLiteral("gone/entries.csv"));
    const QString noTable = either(QStringLiteral("no such table: faq"), QStringLiteral("relation \"faq\" does not exist"));
    struct Case {
        const char* what;
        std::function<bool(const QString& path)> run;
        QString path, title, text;
        bool dropTable = false;
    };
    const Case cases[] = {
        {"export into a folder that is not there",
         [](const QString& path) { return output::exportCsv(nullptr, settings(), Selection::listed({2, 1}), path, {}); },
         missingFolder, QStringLiteral("Export failed"), QStringLiteral("could not be written")},
        {"the entry deleted meanwhile",
         [](const QString& path) { return output::savePdf(nullptr, settings(), Selection::entry(7), path); },
         dir.filePath(QStringLiteral("entry.pdf")), QStringLiteral("Saving as PDF failed"), QStringLiteral("Entry 7 is no longer there")},
        {"export, the table gone",
         [](const QString& path) { return output::exportCsv(nullptr, settings(), Selection::listed({1, 2}), path, {}); },
         dir.filePath(QStringLiteral("entries.csv")), QStringLiteral("Export failed"), noTable, true},
        {"report, the table gone",
         [](const QString& path) { return output::savePdf(nullptr, settings(), Selection::listed({1, 2}), path); },
         dir.filePath(QStringLiteral("entries.pdf")), QStringLiteral("Saving as PDF failed"), noTable},
    };
    for (const Case& c : cases) {
        if (c.dropTable)
            source().exec(QStringLiteral("DROP TABLE faq"));
        RecordedMessageBoxes boxes;
        EXPECT_FALSE(c.run(c.path)) << c.what;
        ASSERT_EQ(boxes.shown().size(), 1u) << c.what;
        EXPECT_EQ(boxes.shown()[0].title, c.title) << c.what;
        EXPECT_TRUE(boxes.shown()[0].text.contains(c.text)) << c.what << ": " << boxes.shown()[0].text.toStdString();
        EXPECT_FALSE(QFile::exists(c.path)) << c.what;
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << c.what << ": no temporary file left";
    }
}

TEST_P(output_actions, AnEntryIsPrintedByItsNumberOnOnePage)
{
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    RecordedMessageBoxes boxes;
    EXPECT_TRUE(output::print(nullptr, settings(), output::Selection::entry(2), printer));
    for (const ShownBox& box : boxes.shown())
        ADD_FAILURE() << box.title.toStdString() << ": " << box.text.toStdString();
    EXPECT_EQ(pagesIn(path), 1);
}

// The save dialog's second file type is the one for Excel; a name typed
// without its suffix gets it.
TEST(output_dialogs, TheExcelFileTypeStartsTheFileWithAByteOrderMark)
{
    ThrowawayDataSource source;
    source.exec(QStringLiteral("INSERT INTO faq (rbr, adresa) VALUES (1, 'Čakovec')"));
    QTemporaryDir dir;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
                dialog->selectNameFilter(dialog->nameFilters().at(1));
                dialog->selectFile(dir.filePath(QStringLiteral("for-excel")));
                static_cast<QDialog*>(dialog)->accept();  // as the Save button does
            }
    });
    chooser.start(10);
    RecordedMessageBoxes boxes;
    output::exportListed(nullptr, settings(), {1});
    QFile file(dir.filePath(QStringLiteral("for-excel.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\xEF\xBB\xBF" "rbr,"));
    EXPECT_TRUE(boxes.shown().empty());
}
