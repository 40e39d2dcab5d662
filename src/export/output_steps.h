#pragma once
// What the context menus' actions do once they know the file or the printer:
// read the entries fresh, then write or print them with a progress box where
// the work is long. A failure shows its box and leaves nothing written.

#include "export/csv_file.h"
#include "export/entry.h"
#include "runtime/transaction.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace rt {
class Worker;
}

namespace output {

// What is put out: the listed entries in the list's order, or the one entry
// of an entry window (read by its number; gone, it is an error).
struct Selection {
    std::vector<qint64> numbers;
    bool oneEntry = false;

    static Selection listed(std::vector<qint64> numbers) { return {std::move(numbers), false}; }
    static Selection entry(qint64 number) { return {{number}, true}; }
};

// From this many entries on the progress box shows at once; below, only
// where the work runs past a second.
inline constexpr std::size_t progressShownFrom = 2000;

// Runs `read` on the worker through rt::waitFor, the windows painting
// meanwhile; `read` must own all it touches, as it may outlive a wait given
// up on (the worker is retired then). On failure shows a box with the given
// title and answers false.
bool readOnWorker(rt::Worker& worker, const rt::ConnectionSettings& settings, const QString& failureTitle,
                  std::function<odbc::Outcome()> read);

// Reads the selection that way, as entries.
std::optional<Entries> readFresh(const rt::ConnectionSettings& settings, const Selection& selection,
                                 const QString& failureTitle);

// True when the file was written or the report printed; false after a
// failure (its box shown) or a cancel.
bool exportCsv(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, const QString& path,
               const CsvOptions& options);
bool savePdf(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, const QString& path);
bool print(QWidget* parent, const rt::ConnectionSettings& settings, const Selection& selection, QPrinter& printer);

} // namespace output
