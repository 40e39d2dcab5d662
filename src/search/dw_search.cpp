#include "search/dw_search.h"

#include "runtime/failure_cause.h"
#include "search/dw_search_accessible.h"
#include "runtime/layout_units.h"
#include "runtime/message_box.h"
#include "runtime/waiting.h"
#include "runtime/worker.h"

#include <QEvent>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

#include <bit>
#include <chrono>
#include <cstdint>
#include <malloc.h>


namespace {

// How long the connection of a read on a server is kept for the next one,
// and the one logged in ahead for the first Search.
constexpr std::chrono::milliseconds spareKeptFor{5000};
constexpr std::chrono::milliseconds firstSpareKeptFor{30000};

const double errorMarker = std::bit_cast<double>(std::uint64_t{0x7FEFFFFFFFFFFFFBull});

// Keyboard moves shift Qt's current cell; without its focus frame they show
// nothing that could pass for a chosen row.
class NoFocusFrame final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

faq::TextColumn columnOf(search::Field field)
{
    switch (field) {
    case search::Field::Address: return faq::TextColumn::Adresa;
    case search::Field::Question: return faq::TextColumn::Pitanje;
    case search::Field::Lot: return faq::TextColumn::Lot;
    case search::Field::Product: return faq::TextColumn::Proizvod;
    case search::Field::Answer: return faq::TextColumn::Odgovor;
    }
    return faq::TextColumn::Adresa;
}

} // namespace

// The rows are filtered in the program as they are read, not in the select:
// the databases' own case rules differ, and the list must not.
faq::RowFilter rowFilterFor(const search::Filter& filter)
{
    faq::RowFilter out;
    const std::vector<search::Field> fields = filter.fields();
    for (search::Field field : fields)
        out.columns.push_back(columnOf(field));
    out.keep = [&filter, fields](const faq::RowTexts& texts) {
        search::EntryTexts entry;
        for (search::Field field : fields)
            entry[static_cast<std::size_t>(field)] = texts[static_cast<std::size_t>(columnOf(field))];
        return filter.matches(entry);
    };
    for (const search::NarrowingTerm& term : filter.narrowing())
        out.narrowing.terms.push_back({columnOf(term.field), term.pattern, term.orWithPrevious});
    return out;
}

namespace {

// Makes the heap of the thread that reads the rows as large as a listing of
// the largest table needs, and keeps it so. The first listing would
// otherwise grow the heap a few pages at a time (some 250 calls into the
// kernel, each stalling the window's thread) and take every page fresh, a
// fault for each 4 KiB. 24 MiB of the heap are made part of it untouched,
// which costs no memory; 8 MiB of them are touched, fewer than a listing
// fills beside what the reader's earlier work left, so the peak after a
// listing does not grow (16 added 1.8 MiB to it on a server).
void warmUpReaderHeap()
{
    constexpr std::size_t reserved = std::size_t{24} << 20;
    constexpr std::size_t touched = std::size_t{8} << 20;
    constexpr std::size_t piece = std::size_t{64} << 10;
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * reserved));
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(std::size_t{32} << 20));  // the most glibc allows
    delete[] new char[reserved];  // never written: the pages stay the system's
    std::vector<std::unique_ptr<char[]>> pieces;
    pieces.reserve(touched / piece);
    for (std::size_t i = 0; i < touched / piece; ++i) {
        pieces.emplace_back(new char[piece]);
        for (std::size_t at = 0; at < piece; at += 4096)
            pieces.back()[at] = 0;  // a page is the system's until written
    }
}

// The captions' header, measuring a caption in the captions' own font.
// QHeaderView measures captions in bold, so that a section it highlights
// in bold still fits; this header highlights none and stands at a fixed
// height, and the bold face would be found and loaded at every start for
// nothing (a font engine of its own, 2-3 ms of the window's first paint).
class CaptionHeader final : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override
    {
        const QVariant asked = model()->headerData(logicalIndex, orientation(), Qt::SizeHintRole);
        if (asked.isValid())
            return asked.toSize();
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        option.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        const QVariant captionFont = model()->headerData(logicalIndex, orientation(), Qt::FontRole);
        option.fontMetrics = QFontMetrics(captionFont.canConvert<QFont>() ? captionFont.value<QFont>() : font());
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
};

} // namespace

dw_search::dw_search(QWidget* parent) : QTableView(parent), model_(new dw_pretraga::Model(QLocale::system(), this))
{
    installGridAccessibility();
    setObjectName(QStringLiteral("dw_search"));
    spareExpiry_ = new QTimer(this);
    spareExpiry_->setSingleShot(true);
    connect(spareExpiry_, &QTimer::timeout, this, [this] {
        if (reader_)
            reader_->post([ahead = ahead_] { ahead->spare.reset(); });
    });
    setHorizontalHeader(new CaptionHeader(Qt::Horizontal, this));
    setModel(model_);
    setItemDelegate(new NoFocusFrame(this));
    setFont(dw_pretraga::font());
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setWordWrap(false);
    setTabKeyNavigation(false);  // one stop in the window's tab order, not one per cell
    verticalScrollBar()->setTracking(true);  // rows move while the thumb is dragged

    verticalHeader()->hide();
    const int rowHeight = rt::units::toPixelsY(dw_pretraga::valueHeight);
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* header = horizontalHeader();
    // Clicks on the captions are handled here (a click outside the rows, then the sort).
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(1);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(rt::units::toPixelsY(dw_pretraga::captionY + dw_pretraga::captionHeight + dw_pretraga::captionY));
    header->viewport()->installEventFilter(this);

    for (std::size_t i = 0; i < dw_pretraga::columns.size(); ++i)
        setColumnWidth(static_cast<int>(i), rt::units::toPixelsX(dw_pretraga::columns[i].width));
    // The entry numbers stay out of sight: their column cannot be widened.
    header->setSectionResizeMode(dw_pretraga::Rbr, QHeaderView::Fixed);
    takeHighlightColours();
    // The frame spans the row: repaint it all when it moves.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, viewport(), [this](const QModelIndex& current) {
        viewport()->update();
        if (hasFocus())
            announceFocusedRow(this, current.row());
    });
}

dw_search::~dw_search()
{
    if (orders_)
        orders_->stop = true;  // its thread ends with the grid
    // The reader has as a rule long let go of its connection; one that
    // hangs in the driver is not waited for.
    if (reader_)
        reader_->finishWithin(std::chrono::seconds(1));
}

void dw_search::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    if (madeReady_)
        return;
    madeReady_ = true;
    // Once the window is up, while the user finds the button. The reader's
    // heap: the first listing would otherwise take the memory of the
    // driver's copy and of the rows fresh from the system, a page fault for
    // every 4 KiB (about 4 800 of them for the largest table, against none
    // to a few hundred for a later listing). The rows' first paint would
    // draw every letter and digit for the first time; drawn once here,
    // they come from the font's cache.
    QTimer::singleShot(200, this, [this] {
        if (!reader_) {
            reader_ = std::make_unique<rt::Worker>();
            reader_->post(warmUpReaderHeap);
        }
        if (!retrieved_ && firstSearchSettings)
            if (const std::optional<rt::ConnectionSettings> settings = firstSearchSettings()) {
                reader_->post([ahead = ahead_, settings = *settings] {
                    faq::prepareFirstSearch(settings, ahead->snapshot, ahead->spare);
                });
                // A connection made ahead on a server is let go of if the
                // first Search does not come soon after the start.
                spareExpiry_->start(firstSpareKeptFor);
            }
        QImage scratch(4, 4, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&scratch);
        painter.setFont(font());
        painter.drawText(0, 0, QStringLiteral("0123456789 .,:-/ abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ "
                                              "čćđšž ČĆĐŠŽ"));
    });
}

void dw_search::takeHighlightColours()
{
    model_->setHighlightColours(palette().brush(QPalette::Active, QPalette::Highlight),
                                palette().brush(QPalette::Active, QPalette::HighlightedText));
}

void dw_search::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        takeHighlightColours();
}

void dw_search::settrans(const rt::Transaction& transaction) { settings_ = transaction.settings(); }

long dw_search::retrieve(const search::Filter& filter)
{
    // The rows listed before go first, not after the new ones are read: a
    // refresh of the largest table would otherwise hold both listings and the
    // driver's copy of the rows at once.
    retrieved_ = true;
    dropOrders();
    // Freed on a thread of their own while the new ones are read: some
    // milliseconds for the largest table that nobody need wait for.
    auto old = model_->sharedRows();
    model_->setRows(std::vector<faq::Row>{});
    sorter_.post([old = std::move(old)]() mutable { old.reset(); });
    odbc::Outcome outcome;
    std::shared_ptr<const std::vector<faq::Row>> rows;
    std::vector<int> ascending;
    if (!settings_) {
        outcome = odbc::failure(QStringLiteral("08003"), QStringLiteral("The grid has no connection settings."));
    } else {
        // Read on a thread of its own while the window keeps painting. The
        // task owns copies of all it uses: it may outlive a wait given up on.
        struct Read {
            odbc::Outcome outcome;
            std::shared_ptr<const std::vector<faq::Row>> rows;
            std::vector<int> ascending;  // the sort column's order, when the list is sorted
            std::unique_ptr<faq::Leftover> leftover;  // let go of after the rows are shown
        };
        auto read = std::make_shared<Read>();
        // One reader thread from one listing to the next, so the memory the
        // driver and the rows took is reused rather than taken anew beside it.
        if (!reader_)
            reader_ = std::make_unique<rt::Worker>();
        const int sortColumn = model_->sortColumn();
        const rt::WaitEnd end = rt::waitFor(
            *reader_,
            [settings = *settings_, filter, read, sortColumn, locale = model_->locale(), ahead = ahead_] {
                const faq::RowFilter rowFilter = rowFilterFor(filter);
                std::unique_ptr<faq::Snapshot>& last = ahead->snapshot;
                // The last listing of every entry serves while the database
                // still holds exactly those rows; one that does not goes
                // before anything new is read. (Let go of beside the new read
                // instead, it saved 2 ms and added 0.7 MiB to the peak.)
                if (last && !faq::stillCurrent(*last, settings, ahead->spare))
                    last.reset();
                if (last && filter.listsEverything()) {
                    read->rows = last->rows;
                } else if (last && faq::looksOnlyInListedTexts(rowFilter)) {
                    read->rows = std::make_shared<const std::vector<faq::Row>>(faq::rowsKept(*last->rows, rowFilter));
                } else if (filter.listsEverything()) {
                    std::unique_ptr<faq::Snapshot> fresh;
                    read->outcome = faq::readSnapshot(settings, fresh, ahead->spare);
                    if (fresh) {
                        read->rows = fresh->rows;
                        if (fresh->vouchable())
                            last = std::move(fresh);
                        else
                            read->leftover = std::make_unique<faq::Leftover>(std::move(fresh->kept));
                    }
                } else {
                    std::vector<faq::Row> rows;
                    read->outcome = faq::loadRows(settings, rows, &rowFilter, read->leftover, ahead->spare);
                    read->rows = std::make_shared<const std::vector<faq::Row>>(std::move(rows));
                }
                // A Search keeps the chosen order; it is made here, off the window's thread.
                if (read->outcome.ok() && sortColumn >= 0)
                    read->ascending = dw_pretraga::ascendingOrder(*read->rows, sortColumn, locale);
            },
            settings_->waitLimit);
        if (end == rt::WaitEnd::Done) {
            outcome = std::move(read->outcome);
            rows = std::move(read->rows);
            ascending = std::move(read->ascending);
            // The read ends and the driver frees its copy of the rows on the
            // worker while the window shows them; nobody waits for that.
            reader_->post([read, ahead = ahead_, settings = *settings_] {
                if (read->leftover)
                    ahead->spare = faq::spareOf(settings, std::move(*read->leftover));
                read->leftover.reset();
                if (ahead->snapshot)
                    faq::endRead(*ahead->snapshot, ahead->spare);
            });
            spareExpiry_->start(spareKeptFor);
        } else {
            reader_->retire();
            reader_.reset();
            // The retired thread may still finish the read into the old slot.
            ahead_ = std::make_shared<Ahead>();
            outcome = rt::givenUp(end, settings_->waitLimit);
        }
    }
    if (!outcome.ok()) {
        if (settings_)
            rt::addFileFindings(outcome, settings_->databaseFile());
        model_->setRows(std::vector<faq::Row>{});
        rt::messageBox(QStringLiteral("Search failed"), outcome.errorText(),
                       rt::explanation(rt::causeOf(outcome), settings_ ? settings_->waitLimit : rt::defaultWaitLimit));
        return -1;
    }
    model_->setRows(std::move(rows), std::move(ascending));
    // Laid out now, so the next paint shows the rows at once: left to the
    // view, the layout comes a turn of the event loop later, with a second
    // paint and flush of the grid (3 ms).
    executeDelayedItemsLayout();
    tooltips_.clear();
    prepareOrders();
    return rowCount();
}

// Once the list was sorted by a caption, the orders of every column are made
// after each listing on a thread of their own, so a caption click finds them
// ready instead of collating 32767 texts while the user waits. Not before:
// collating pages in megabytes of the system's collation tables, which only
// people who sort need.
void dw_search::prepareOrders()
{
    if (!sortedByCaption_)
        return;
    auto orders = std::make_shared<Orders>();
    orders_ = orders;
    sorter_.post([orders, rows = model_->sharedRows(), locale = model_->locale()] {
        for (int column : {dw_pretraga::Adresa, dw_pretraga::Datum, dw_pretraga::Lot}) {
            std::vector<int> order = dw_pretraga::ascendingOrder(*rows, column, locale, &orders->stop);
            if (orders->stop)
                return;  // listed anew meanwhile: nobody wants these
            std::lock_guard lock(orders->mutex);
            orders->ascending[static_cast<std::size_t>(column)] = std::move(order);
        }
    });
}

void dw_search::dropOrders()
{
    if (!orders_)
        return;
    orders_->stop = true;
    sorter_.waitIdle();
    orders_.reset();
}

void dw_search::sortByCaption(int column)
{
    if (!dw_pretraga::sortable(column))
        return;
    const bool first = !sortedByCaption_;
    sortedByCaption_ = true;
    using dw_pretraga::SortOrder;
    // Ascending, descending, and back to the database's order.
    SortOrder next = SortOrder::Ascending;
    if (model_->sortColumn() == column)
        next = model_->sortOrder() == SortOrder::Ascending ? SortOrder::Descending : SortOrder::None;
    std::vector<int> ascending;
    if (next != SortOrder::None && orders_) {
        std::lock_guard lock(orders_->mutex);
        if (auto& ready = orders_->ascending[static_cast<std::size_t>(column)])
            ascending = *ready;
    }
    model_->sortBy(column, next, std::move(ascending));
    if (first)
        prepareOrders();
    horizontalHeader()->setSortIndicatorShown(next != SortOrder::None);
    if (next != SortOrder::None)
        horizontalHeader()->setSortIndicator(column, next == SortOrder::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

long dw_search::rowCount() const { return static_cast<long>(model_->rows().size()); }

int dw_search::selectrow(long row, bool on)
{
    if (row == 0) {
        model_->setAllHighlighted(on);
        return 1;
    }
    if (row < 0 || row > rowCount())
        return -1;
    model_->setHighlighted(static_cast<int>(row - 1), on);
    return 1;
}

bool dw_search::isSelected(long row) const
{
    return row >= 1 && row <= rowCount() && model_->isHighlighted(static_cast<int>(row - 1));
}

double dw_search::getitemnumber(long row, int column) const
{
    if (row < 1 || row > rowCount() || column < 1 || column > static_cast<int>(dw_pretraga::columns.size()))
        return errorMarker;
    if (dw_pretraga::columns[static_cast<std::size_t>(column - 1)].value != dw_pretraga::Value::WholeNumber)
        return errorMarker;
    const auto& rbr = model_->shownRow(static_cast<int>(row - 1)).rbr;
    return rbr ? static_cast<double>(*rbr) : errorMarker;
}

void dw_search::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    if (!currentIndex().isValid() && model_->rowCount() > 0)
        setCurrentIndex(model_->index(0, dw_pretraga::Adresa));
    viewport()->update();
}

void dw_search::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

QModelIndex dw_search::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // The frame goes over whole rows: left and right have nowhere to go.
    if (action == MoveLeft || action == MoveRight || action == MoveNext || action == MovePrevious)
        return currentIndex();
    // Home and End go to the first and the last row, as in any list.
    if ((action == MoveHome || action == MoveEnd) && model_->rowCount() > 0)
        return model_->index(action == MoveHome ? 0 : model_->rowCount() - 1, dw_pretraga::Adresa);
    const QModelIndex to = QTableView::moveCursor(action, modifiers);
    return to.isValid() ? model_->index(to.row(), dw_pretraga::Adresa) : to;
}

void dw_search::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool activates = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!activates || event->modifiers() != Qt::NoModifier) {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!currentIndex().isValid())
        return;
    const int row = currentIndex().row() + 1;
    if (key == Qt::Key_Space)
        emit clicked(row);
    else
        emit doubleclicked(row);
}

void dw_search::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (!hasFocus() || !currentIndex().isValid())
        return;
    // The focus frame: a dotted line around the whole row, apart from the
    // filled highlight of the chosen row, so the two never look alike.
    const int row = currentIndex().row();
    QRect frame;
    for (int column = 0; column < model_->columnCount(); ++column)
        frame = frame.united(visualRect(model_->index(row, column)));
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::WindowText), 2, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(frame.adjusted(1, 1, -1, -1));
}

std::vector<qint64> dw_search::listedNumbers() const
{
    std::vector<qint64> numbers;
    numbers.reserve(model_->rows().size());
    for (int row = 0; row < model_->rowCount(); ++row)
        if (const auto& rbr = model_->shownRow(row).rbr)
            numbers.push_back(*rbr);
    return numbers;
}

bool dw_search::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip || !describeEntry)
        return QTableView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos().y());
    const auto rbr = row < 0 ? std::nullopt : model_->shownRow(row).rbr;
    // Read only for the row the mouse rests on, and only once.
    QString text;
    if (rbr && !rt::waiting()) {
        auto known = tooltips_.find(*rbr);
        if (known == tooltips_.end())
            known = tooltips_.emplace(*rbr, describeEntry(*rbr)).first;
        text = known->second;
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QRect area = visualRect(model_->index(row, dw_pretraga::Adresa));
    area.setLeft(0);
    area.setRight(viewport()->width());
    QToolTip::showText(help->globalPos(), text, viewport(), area);
    return true;
}

int dw_search::rowUnder(int y) const
{
    const int row = rowAt(y);
    return row < 0 ? 0 : row + 1;
}

void dw_search::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked(rowUnder(event->position().toPoint().y()));
}

void dw_search::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleclicked(rowUnder(event->position().toPoint().y()));
}

bool dw_search::eventFilter(QObject* watched, QEvent* event)
{
    // The header is a widget of its own: a press there is a click outside the rows.
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == horizontalHeader()->viewport() && (press || event->type() == QEvent::MouseButtonDblClick)
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (press) {
            emit clicked(0);
            // A caption click is first a click outside the rows; the sort comes on top.
            sortByCaption(horizontalHeader()->logicalIndexAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
        } else {
            emit doubleclicked(0);
        }
    }
    return QTableView::eventFilter(watched, event);
}
