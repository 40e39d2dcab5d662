#pragma once
// The yes/no dialog: shows the question it was opened with and closes with
// "DA" (yes) or "NE" (no).

#include "runtime/window.h"

#include <vector>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

class w_da_ne : public rt::Window {
    Q_OBJECT
public:
    w_da_ne();

    QPushButton* cb_ne = nullptr;
    QPushButton* cb_da = nullptr;
    QPlainTextEdit* mle_tekst = nullptr;
    QGroupBox* gb_1 = nullptr;
    std::vector<QWidget*> Control;

    void create() override;
    void constructors() override;
    void destroy() override;
    void open() override;

    void mle_tekst_constructor();
    void cb_ne_clicked();
    void cb_da_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
