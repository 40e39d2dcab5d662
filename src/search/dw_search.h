#pragma once
// dw_search: the search window's result grid showing dw_pretraga. One line
// per entry under the captions. A click chooses a row, a double-click opens
// it; from the keyboard the arrows move a focus frame over the rows, Space
// is a click on the framed row and Enter a double-click. Moving alone
// chooses nothing.

#include "data/dw_pretraga_model.h"
#include "runtime/transaction.h"
#include "search/criteria.h"

#include "runtime/worker.h"

#include <QTableView>
#include <QTimer>

#include <array>
#include <atomic>
#include <functional>
#include <unordered_map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The loader's filter for the criteria: it reads the columns their fields
// look in and refers to the criteria, which must outlive it.
faq::RowFilter rowFilterFor(const search::Filter& filter);

class dw_search : public QTableView {
    Q_OBJECT
public:
    explicit dw_search(QWidget* parent = nullptr);
    ~dw_search() override;

    // Takes a copy of the connection settings for the next retrievals.
    void settrans(const rt::Transaction& transaction);
    // Replaces every row with those of the select that the filter lists,
    // read over a connection opened for it, or on SQLite taken from the last
    // listing of every entry while the database holds exactly those rows.
    // The row count, or -1 when the select failed (reported in a message
    // box; the grid is then empty).
    long retrieve(const search::Filter& filter = {});
    // Highlights (on) or clears a row; row 0 stands for every row.
    // 1, or -1 for a row that does not exist.
    int selectrow(long row, bool on);
    // The numeric value of a cell (rows and columns from 1); the error
    // marker for a cell that does not exist, is null or is not a number.
    double getitemnumber(long row, int column) const;
    long rowCount() const;

    // Whether the row (from 1) is highlighted.
    bool isSelected(long row) const;

    // The entry numbers of the listed rows, in the order shown.
    std::vector<qint64> listedNumbers() const;
    // What a tooltip over a row says of its entry, asked for when the mouse
    // rests on the row; an empty text shows nothing.
    std::function<QString(qint64 rbr)> describeEntry;
    // The settings the first retrieval will most likely use, asked for once
    // the window is up, when the reader's thread prepares for it
    // (faq::prepareFirstSearch): on SQLite every entry is read ahead, and a
    // retrieval lists that listing again, or picks from it for criteria on
    // address and lot, while the database says nothing changed since it was
    // read (faq::stillCurrent); on a server the log-in is made ahead, and
    // the listings after the first serve in the same way.
    std::function<std::optional<rt::ConnectionSettings>()> firstSearchSettings;

signals:
    // The 1-based row under the mouse; 0 for the header or below the last row.
    void clicked(int row);
    void doubleclicked(int row);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Sorts by the column as a click on its caption does: ascending,
    // descending, then back to the database's order.
    void sortByCaption(int column);

private:
    struct Orders {
        std::atomic<bool> stop{false};
        std::mutex mutex;
        std::array<std::optional<std::vector<int>>, 4> ascending;
    };
    void prepareOrders();
    // Stops the orders being made and waits for their thread, so the rows
    // they were made of are let go.
    void dropOrders();
    int rowUnder(int y) const;
    void takeHighlightColours();

    dw_pretraga::Model* model_;
    std::optional<rt::ConnectionSettings> settings_;
    // Each column's ascending order of the rows listed last, as they become ready.
    std::shared_ptr<Orders> orders_;
    bool sortedByCaption_ = false;
    rt::Worker sorter_;
    // Reads the rows, then lets go of the retrieval's statement while they
    // are shown (its connection too, unless kept as a spare or with the
    // listing); made anew after a wait given up on.
    std::unique_ptr<rt::Worker> reader_;
    // The last listing of every entry, read ahead or by a Search; touched
    // on the reader's thread only.
    struct Ahead {
        std::unique_ptr<faq::Snapshot> snapshot;
        std::unique_ptr<faq::Spare> spare;  // the last read's connection(s)
    };
    std::shared_ptr<Ahead> ahead_ = std::make_shared<Ahead>();
    // Lets the spare go a while after the last read: it serves Searches
    // that follow one another, not a program that sits open all day with
    // two of the server's connections.
    QTimer* spareExpiry_ = nullptr;
    bool retrieved_ = false;
    bool madeReady_ = false;
    // Tooltips of the rows listed last, each read once.
    std::unordered_map<qint64, QString> tooltips_;
};
