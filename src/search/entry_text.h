#pragma once
// An entry as text for people and for other programs: the tooltip over a
// row and the tab-separated line "Copy" puts on the clipboard.

#include "data/faq_statements.h"

#include <QString>

// Who, product, lot, the question and the start of the answer, as rich text
// that shows the entry's own characters as they are (a "<" stays a "<").
QString entrySummary(const faq::WholeEntry& entry);

// All seven fields, tab-separated, in the table's order: number, who,
// question, date, product, lot, answer. A field holding a tab, a line break
// or a quote is quoted as spreadsheets read it.
QString asTabSeparated(qint64 rbr, const faq::WholeEntry& entry);
