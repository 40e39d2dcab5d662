#include "export/entry_output.h"

#include "export/output_steps.h"

#include <QFileInfo>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace output {
namespace {

const QString csvFilter = QStringLiteral("CSV, UTF-8 (*.csv)");
const QString excelFilter = QStringLiteral("CSV for Excel, UTF-8 with byte order mark (*.csv)");
const QString pdfFilter = QStringLiteral("PDF (*.pdf)");

// Where the next save dialog opens: where the last file went, else the documents folder.
QString& lastFolder()
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder;
}

// The chosen file, and the file type chosen with it; empty when the user cancelled.
struct Chosen {
    QString path;
    QString filter;
};

Chosen askFile(QWidget* parent, const QString& caption, const QString& fileName, const QStringList& filters,
               const QString& suffix)
{
    QFileDialog dialog(parent, caption, lastFolder());
    dialog.selectFile(fileName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffix);  // a name typed without it gets it
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    Chosen chosen{dialog.selectedFiles().front(), dialog.selectedNameFilter()};
    lastFolder() = QFileInfo(chosen.path).absolutePath();
    return chosen;
}

void askAndSavePdf(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection,
                   const QString& fileName)
{
    const Chosen chosen = askFile(parent, QStringLiteral("Save as PDF"), fileName, {pdfFilter}, QStringLiteral("pdf"));
    if (!chosen.path.isEmpty())
        savePdf(parent, settings, selection, chosen.path);
}

void askAndPrint(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() == QDialog::Accepted)
        print(parent, settings, selection, printer);
}

} // namespace

void exportListed(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers)
{
    const Chosen chosen = askFile(parent, QStringLiteral("Export listed entries"), QStringLiteral("faq-entries.csv"),
                                  {csvFilter, excelFilter}, QStringLiteral("csv"));
    if (!chosen.path.isEmpty())
        exportCsv(parent, settings, Selection::listed(numbers), chosen.path, {chosen.filter == excelFilter});
}

void printListed(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers)
{
    askAndPrint(parent, settings, Selection::listed(numbers));
}

void saveListedAsPdf(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers)
{
    askAndSavePdf(parent, settings, Selection::listed(numbers), QStringLiteral("faq-entries.pdf"));
}

void printEntry(QWidget* parent, const rt::ConnectionSettings& settings, qint64 number)
{
    askAndPrint(parent, settings, Selection::entry(number));
}

void saveEntryAsPdf(QWidget* parent, const rt::ConnectionSettings& settings, qint64 number)
{
    askAndSavePdf(parent, settings, Selection::entry(number), QStringLiteral("faq-entry-%1.pdf").arg(number));
}

} // namespace output
