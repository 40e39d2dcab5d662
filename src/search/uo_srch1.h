#pragma once
// A criterion row: the words to look for, the field to look in and the
// connective to the next row.

#include "search/criteria.h"

#include <QWidget>

#include <vector>

class QComboBox;
class QLineEdit;

class uo_srch1 : public QWidget {
    Q_OBJECT
public:
    explicit uo_srch1(QWidget* parent = nullptr);

    QComboBox* ddlb_veza = nullptr;
    QComboBox* ddlb_polje = nullptr;
    QLineEdit* sle_trazi = nullptr;
    std::vector<QWidget*> Control;

    // Scripts.
    void create();
    void destroy();
    void ddlb_veza_constructor();
    void ddlb_polje_constructor();
    void dragdrop(QObject* source);

    // Runs the constructor events of the row's controls in their order.
    void constructors();
    // The row's controls in their tab order.
    std::vector<QWidget*> tabOrder() const;
    // Names the row's controls for screen readers: "Criterion 2 words", ...
    void nameFor(int number);
    // What the row holds now; a list with nothing chosen counts as its
    // first item, as its constructor chooses.
    search::Criterion criterion() const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMask();
};

// Selects item `index` (1 = first) of a drop-down list; the index, or -1
// when the list has no such item.
int selectitem(QComboBox* list, int index);
