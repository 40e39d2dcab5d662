#pragma once
// What the windows' context menus call to put entries out: a CSV file, a
// printed report, a report as PDF. Each reads the entries fresh from the
// database, shows a box when something fails and then writes nothing.

#include "runtime/transaction.h"

#include <vector>

class QWidget;

namespace output {

// The search list's context-menu actions on the listed entries, in the list's order:
// each asks what it needs (a file name, a printer) with the usual dialogs, and does it.
void exportListed(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers);
void printListed(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers);
void saveListedAsPdf(QWidget* parent, const rt::ConnectionSettings& settings, const std::vector<qint64>& numbers);
// The entry window's: the one entry with that number, read fresh.
void printEntry(QWidget* parent, const rt::ConnectionSettings& settings, qint64 number);
void saveEntryAsPdf(QWidget* parent, const rt::ConnectionSettings& settings, qint64 number);

} // namespace output
