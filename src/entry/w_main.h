#pragma once
// The entry window: shows one FAQ entry read-only, unlocks it for editing,
// numbers a new entry and saves it.

#include "data/faq_statements.h"
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

    // The entry as stored, printed or kept as PDF (Ctrl+P, the window's context menu).
    void printEntry();
    void saveEntryAsPdf();

    // The entry this window was opened to show; 0 for a new entry.
    qint16 requestedNumber() const { return requested_; }

private:
    // Gives the window the next free number (highest + 1); false, after
    // telling the user, when there is none or the database cannot say.
    bool takeFreshNumber(rt::Int& number);

    enum class Go { On, Stop };
    // Before a save writes under `number`: an entry this window showed must
    // still hold what it showed, or the user decides (overwrite, show theirs,
    // cancel, save again when it was deleted). On an entry that is still as
    // shown, the transaction keeps it from changing until the commit. A new
    // entry whose number someone else took moves to the next free one. ima
    // becomes 0 where the save is to insert.
    Go settleBeforeSave(rt::Transaction& sqlca, rt::Int& number, const faq::EntryTexts& typed, rt::Int& ima);
    // Asks whether to store a deleted entry again; On when the user wants it.
    Go askSaveAgain(qint16 number);
    // A commit that failed after the change itself worked: the change's box,
    // the rollback, and the window stays with everything typed.
    void commitFailed(rt::Transaction& sqlca, const QString& title, const faq::EntryTexts& sent);
    faq::EntryTexts typedTexts() const;
    void showTexts(const faq::EntryTexts& texts);

    qint16 requested_ = 0;
    // The number came from the numbering, not from an existing entry: such
    // a window only ever inserts, never overwrites.
    bool numbered_ = false;
    // What the database held under shownNumber_ when this window last read
    // it; none for a new entry.
    std::optional<faq::EntryTexts> shown_;
    qint16 shownNumber_ = 0;
    // The texts as the window showed them once opened; Escape closes only
    // while they are unchanged.
    std::optional<faq::EntryTexts> pristine_;
    // Texts a save sent whose commit may or may not have been stored.
    std::optional<faq::EntryTexts> unconfirmed_;
};

// The number after the highest one; nullopt when none is left.
std::optional<qint16> nextNumber(rt::Int highest);
