#pragma once
// The entry window: shows one FAQ entry read-only, unlocks it for editing,
// numbers a new entry and saves it.

#include "runtime/controls.h"
#include "runtime/transaction.h"
#include "runtime/window.h"

#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class w_main : public rt::Window {
    Q_OBJECT
public:
    explicit w_main(QWidget* opener = nullptr);

    // Controls, in the window's stored order.
    QLineEdit* sle_rbr = nullptr;
    QPushButton* cb_save = nullptr;
    QPushButton* cb_edit = nullptr;
    QLabel* st_odgovor = nullptr;
    QLineEdit* em_lot = nullptr;
    QLabel* st_lot = nullptr;
    QLineEdit* em_proizvod = nullptr;
    QLabel* st_pr = nullptr;
    QLabel* st_qu = nullptr;
    rt::MultiLineEdit* mle_question = nullptr;
    QLabel* st_ko = nullptr;
    rt::MultiLineEdit* mle_adresa = nullptr;
    QPushButton* cb_close = nullptr;
    rt::MultiLineEdit* mle_odgovor = nullptr;
    QGroupBox* gb_ram = nullptr;
    std::vector<QWidget*> Control;

    void create() override;
    void destroy() override;
    void open() override;

    // Window functions.
    qint16 prikazifaq(qint16 broj);
    rt::Int novibroj();

    void cb_save_clicked();
    void cb_edit_clicked();
    void cb_close_clicked();

    // The entry this window was opened to show; 0 for a new entry.
    qint16 requestedNumber() const { return requested_; }

private:
    // Gives the window the next free number (highest + 1); false, after
    // telling the user, when there is none or the database cannot say.
    bool takeFreshNumber(rt::Int& number);

    qint16 requested_ = 0;
    // The number came from the numbering, not from an existing entry: such
    // a window only ever inserts, never overwrites.
    bool numbered_ = false;
};

// The number after the highest one; nullopt when none is left.
std::optional<qint16> nextNumber(rt::Int highest);
