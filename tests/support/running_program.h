#pragma once
// The whole program started the way main() starts it, on a throwaway data
// source, with message boxes recorded; shut down when the test ends.

#include "app/globals.h"
#include "app/talvo.h"
#include "entry/w_main.h"
#include "search/dw_search.h"
#include "search/w_search.h"
#include "support/recorded_message_boxes.h"
#include "support/throwaway_data_source.h"

#include <QString>

#include <vector>

class RunningProgram {
public:
    RunningProgram();
    ~RunningProgram();

    w_search& search() const { return *g.w_search; }
    rt::Transaction& sqlca() const { return *g.SQLCA; }
    const std::vector<ShownBox>& boxes() const { return boxes_.shown(); }
    // The answers the next questions get, in order.
    void answer(const QStringList& answers) { boxes_.answer(answers); }

    // The entry windows open now, oldest first.
    static std::vector<w_main*> entryWindows();
    // The one entry window open now; fails the test if there is not exactly one.
    static w_main& onlyEntryWindow();

    // Opens an entry window from the search window with the given text, as
    // "View" or "New FAQ" would; fails the test by exception if it does not open.
    static w_main& openEntry(const std::optional<QString>& parm);

    // User actions, through real mouse clicks.
    void click(QWidget* button) const;
    void clickRow(int row) const;
    void doubleClickRow(int row) const;
    // Runs the pending deletions of closed windows.
    static void settle();

private:
    RecordedMessageBoxes boxes_;
    talvo app_;
};

// An entry's texts as a program would see them, straight from the database.
struct StoredEntry {
    QString adresa, pitanje, datum, proizvod, lot, odgovor;
};
