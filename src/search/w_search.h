#pragma once
// The search window: the program's main window for the whole run.

#include "runtime/transaction.h"
#include "runtime/window.h"
#include "search/criteria.h"

#include <QtGlobal>

#include <QPointer>

#include <vector>

class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class dw_search;
class uo_srch1;
class w_main;

class w_search : public rt::Window {
    Q_OBJECT
public:
    w_search();

    // Controls, in the window's stored order.
    QGroupBox* gb_1 = nullptr;
    uo_srch1* uo_1 = nullptr;
    uo_srch1* uo_2 = nullptr;
    uo_srch1* uo_3 = nullptr;
    uo_srch1* uo_4 = nullptr;
    QPushButton* cb_search = nullptr;
    QPushButton* cb_delete = nullptr;
    QPushButton* cb_view = nullptr;
    ::dw_search* dw_search = nullptr;
    QPushButton* cb_new = nullptr;
    QPushButton* cb_close = nullptr;
    std::vector<QWidget*> Control;
    // Below the group box, apart from the controls above: how many entries
    // the last Search listed.
    QLabel* st_listed = nullptr;

    void create() override;
    void constructors() override;
    void destroy() override;
    void open() override;

    // Centres any window on the screen (not on this window).
    void centriraj_prozor(rt::Window* prozor);

    // Event scripts of the controls.
    void cb_search_clicked();
    void dw_search_clicked(long row);
    void dw_search_doubleclicked(long row);
    void cb_view_clicked();
    void cb_new_clicked();
    void cb_delete_clicked();
    void cb_close_clicked();

private:
    // Opens an entry window for the text; an entry that already has a window
    // brings that one to the front, so nothing typed there is lost.
    bool openEntryWindow(const QString& parm);
    // The list's context menu; Copy puts the chosen entry on the clipboard.
    void showListMenu(const QPoint& at);
    void copyChosenEntry();
    // The export and print actions on the listed entries.
    void addOutputActions(QMenu& menu);
    // The box of a delete whose statement or commit failed, and the rollback.
    void deleteFailed(rt::Transaction& sqlca);
    // The entry number of a row as a 16-bit number; 0 when it has none.
    qint16 entryNumberOf(const rt::Script& s, long row);

    // The criterion rows that still exist, from the top.
    search::Filter criteria() const;
    void showListed(long count);

    uo_srch1* createRow(int x, int y);
    void destroyRow(uo_srch1*& row, const char* name);

    std::vector<QPointer<w_main>> entryWindows_;
};

// The centred position of one axis: (screen - window) / 2, formed as a 32-bit
// difference, halved in double precision and truncated toward zero into 16 bits.
qint16 centredPosition(qint16 screenUnits, qint16 windowUnits);
