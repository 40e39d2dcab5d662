#pragma once
// What a screen reader finds in the result list: a list named "Entries"
// whose items are the listed rows, each named by what the row shows
// (address, date, lot). The entry-number column, unseen, is not told. The
// chosen row is selected; the row in the focus frame has the focus.

class QAccessibleInterface;
class dw_search;

// Installs the factory that gives every dw_search this interface.
void installGridAccessibility();
// Tells a listening screen reader that the focus frame moved to the row (from 0).
void announceFocusedRow(dw_search* grid, int row);
