#pragma once
// Entries as a printed report, the same on a printer and in a PDF file.
//
// Every page carries the title and the moment it was printed at the top and
// its number at the bottom. Each entry shows its number and date, the
// product and the lot, who asked, then the question and the answer under
// their labels, and breaks across pages between lines; its heading is never
// left alone at the foot of a page.

#include "export/entry.h"
#include "export/whole_file.h"

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <vector>

class QPagedPaintDevice;

namespace output {

struct ReportHeading {
    QString title;
    QDateTime printedAt;
    // Listed entries that were deleted meanwhile: said under the title.
    std::size_t leftOut = 0;
};

// Paints the report on the device's pages (a QPrinter or a QPdfWriter).
// Written with the page count; Stopped when progress said so (a printer's
// job is aborted); Failed when the device would not take a painter.
WriteResult paintReport(QPagedPaintDevice& device, const std::vector<Entry>& entries, const ReportHeading& heading,
                        const Progress& progress = {});

// The report as a PDF file on A4, whole or not at all.
WriteResult writePdf(const std::vector<Entry>& entries, const QString& path, const ReportHeading& heading,
                     const Progress& progress = {});

} // namespace output
