#include "export/output_steps.h"

#include "export/entry_reader.h"
#include "export/entry_report.h"
#include "runtime/failure_cause.h"
#include "runtime/message_box.h"
#include "runtime/waiting.h"
#include "runtime/worker.h"

#include <QElapsedTimer>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>
#include <utility>

namespace output {
namespace {

// A cancellable progress box over long work, shown at once for many
// entries and only after a second for few.
class ProgressBox {
public:
    ProgressBox(QWidget* parent, const QString& label, std::size_t total)
        : dialog_(label, QStringLiteral("Cancel"), 0, static_cast<int>(total), parent), total_(total)
    {
        dialog_.setObjectName(QStringLiteral("outputProgress"));
        dialog_.setWindowTitle(QStringLiteral("Veterinary FAQ helper"));
        // Input goes to this box alone, as it does to the wait box: no second
        // action starts while the first one writes.
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumDuration(total >= progressShownFrom ? 0 : 1000);
    }
    // Tells the box at most every tenth of a second: each time repaints it
    // and lets events through.
    Progress progress()
    {
        return [this](std::size_t done) {
            if (!sinceTold_.isValid() || sinceTold_.hasExpired(100) || done == total_) {
                dialog_.setValue(static_cast<int>(done));
                sinceTold_.start();
            }
            return !dialog_.wasCanceled();
        };
    }

private:
    QProgressDialog dialog_;
    const std::size_t total_;
    QElapsedTimer sinceTold_;
};

QString reportTitle(const Selection& selection, std::size_t shown)
{
    if (selection.oneEntry)
        return QStringLiteral("FAQ entry %1").arg(selection.numbers.front());
    return shown == 1 ? QStringLiteral("FAQ: 1 entry") : QStringLiteral("FAQ: %1 entries").arg(shown);
}

ReportHeading headingFor(const Selection& selection, const Entries& read)
{
    return {reportTitle(selection, read.entries.size()), QDateTime::currentDateTime(), read.missing};
}

// Says what went wrong; true when the file was written or the report printed.
bool reported(const WriteResult& result, const QString& failureTitle, const QString& consequence)
{
    if (result.status == WriteResult::Failed)
        rt::messageBox(failureTitle, result.error, consequence);
    return result.ok();
}

const QString noFile = QStringLiteral("No file was written.");

} // namespace

bool readOnWorker(rt::Worker& worker, const rt::ConnectionSettings& settings, const QString& failureTitle,
                  std::function<odbc::Outcome()> read)
{
    auto outcome = std::make_shared<odbc::Outcome>();
    const rt::WaitEnd end = rt::waitFor(
        worker, [read = std::move(read), outcome] { *outcome = read(); }, settings.waitLimit);
    if (end != rt::WaitEnd::Done) {
        worker.retire();
        *outcome = rt::givenUp(end, settings.waitLimit);
    }
    if (outcome->ok())
        return true;
    rt::addFileFindings(*outcome, settings.databaseFile());
    rt::messageBox(failureTitle, outcome->errorText(), rt::explanation(rt::causeOf(*outcome), settings.waitLimit));
    return false;
}

std::optional<Entries> readFresh(const rt::ConnectionSettings& settings, const Selection& selection,
                                 const QString& failureTitle)
{
    auto read = std::make_shared<Entries>();
    rt::Worker worker;
    if (!readOnWorker(worker, settings, failureTitle, [settings, selection, read] {
            return selection.oneEntry ? readEntry(settings, selection.numbers.front(), *read)
                                      : readEntries(settings, selection.numbers, *read);
        }))
        return std::nullopt;
    if (selection.oneEntry && read->entries.empty()) {
        rt::messageBox(failureTitle,
                       QStringLiteral("Entry %1 is no longer there: someone deleted it meanwhile.").arg(selection.numbers.front()));
        return std::nullopt;
    }
    return std::move(*read);
}

bool exportCsv(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, const QString& path,
               const CsvOptions& options)
{
    const QString failure = QStringLiteral("Export failed");
    // Each record is encoded as its row is read, straight from the driver's
    // buffers; the driver's copy of the rows is freed while the file is written.
    auto records = std::make_shared<CsvRecords>(selection.numbers.size());
    auto release = std::make_shared<std::function<void()>>();
    rt::Worker worker;
    if (!readOnWorker(worker, settings, failure, [settings, numbers = selection.numbers, records, release] {
            std::size_t missing = 0;
            return readListed(
                settings, numbers, [&](std::size_t place, const EntryView& entry) { records->add(place, entry); }, missing,
                256, release.get());
        }))
        return false;
    worker.post([release] {
        if (*release)
            (*release)();
    });
    const std::size_t count = selection.numbers.size();
    ProgressBox box(parent, QStringLiteral("Exporting %1 entries\u2026").arg(count), count);
    return reported(records->write(path, options, box.progress()), failure, noFile);
}

bool savePdf(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, const QString& path)
{
    const QString failure = QStringLiteral("Saving as PDF failed");
    const std::optional<Entries> read = readFresh(settings, selection, failure);
    if (!read)
        return false;
    ProgressBox box(parent, QStringLiteral("Saving %1 entries as PDF\u2026").arg(read->entries.size()), read->entries.size());
    return reported(writePdf(read->entries, path, headingFor(selection, *read), box.progress()), failure, noFile);
}

bool print(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, QPrinter& printer)
{
    const QString failure = QStringLiteral("Printing failed");
    const std::optional<Entries> read = readFresh(settings, selection, failure);
    if (!read)
        return false;
    const ReportHeading heading = headingFor(selection, *read);
    printer.setDocName(heading.title);
    ProgressBox box(parent, QStringLiteral("Printing %1 entries\u2026").arg(read->entries.size()), read->entries.size());
    return reported(paintReport(printer, read->entries, heading, box.progress()), failure,
                    QStringLiteral("Nothing was printed."));
}

} // namespace output
