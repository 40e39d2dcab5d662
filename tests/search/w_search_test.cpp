// The search window and its criterion rows: layout, tab order, scripts.

#include "app/globals.h"
#include "runtime/layout_units.h"
#include "search/dw_search.h"
#include "search/uo_srch1.h"
#include "search/w_search.h"
#include "support/dialog_driver.h"
#include "support/trace_capture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

namespace {

class SearchWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        rt::registerMessageObject(&message);
        g.w_search = rt::open<w_search>();
        ASSERT_TRUE(g.w_search);
        w = g.w_search;
    }
    void TearDown() override
    {
        if (g.w_search)
            g.w_search->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rt::registerMessageObject(nullptr);
    }
    rt::Message message;
    w_search* w = nullptr;
};

QRect units(int x, int y, int width, int height) { return rt::units::toPixels(x, y, width, height); }

Lines rowCreateTrace(const std::string& indent)
{
    Lines lines = {indent + "Executing event script create for class uo_srch1, lib entry uo_srch1"};
    for (int n : {2, 3, 4, 5})
        lines.push_back(indent + "  Executing instruction at line " + std::to_string(n));
    lines.push_back(indent + "End event script create for class uo_srch1, lib entry uo_srch1");
    return lines;
}

} // namespace

TEST_F(SearchWindow, ControlsStandWhereTheLayoutPutsThem)
{
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Veterinary FAQ helper"));
    EXPECT_EQ(w->size(), QSize(816, 533));
    struct Expected {
        QWidget* control;
        QRect geometry;
    };
    const Expected table[] = {
        {w->gb_1, units(82, 48, 3529, 1908)},       {w->uo_1, units(101, 168, 3488, 496)},
        {w->uo_2, units(101, 336, 3488, 496)},      {w->uo_3, units(101, 504, 3488, 496)},
        {w->uo_4, units(101, 672, 3488, 496)},      {w->cb_search, units(3122, 820, 411, 108)},
        {w->cb_delete, units(622, 820, 411, 108)},  {w->cb_view, units(155, 820, 411, 108)},
        {w->dw_search, units(155, 976, 3378, 932)}, {w->cb_new, units(1088, 820, 411, 108)},
        {w->cb_close, units(1554, 820, 411, 108)},
    };
    for (const auto& e : table)
        EXPECT_EQ(e.control->geometry(), e.geometry) << e.control->objectName().toStdString();

    EXPECT_EQ(w->gb_1->title(), QStringLiteral("Search FAQ database"));
    const std::pair<QPushButton*, const char*> texts[] = {
        {w->cb_search, "Search"}, {w->cb_delete, "Delete"}, {w->cb_view, "View"},
        {w->cb_new, "New FAQ"},   {w->cb_close, "Close"},
    };
    for (const auto& [b, text] : texts) {
        EXPECT_EQ(b->text(), QString::fromLatin1(text));
        EXPECT_EQ(QFontInfo(b->font()).family(), QStringLiteral("Liberation Sans"));
        EXPECT_EQ(b->font().pointSize(), 10);
    }
    // The group box lies behind every other control.
    EXPECT_EQ(w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).first(), w->gb_1);
}

TEST_F(SearchWindow, RowControlsStandWhereTheRowLayoutPutsThem)
{
    for (uo_srch1* row : {w->uo_1, w->uo_2, w->uo_3, w->uo_4}) {
        EXPECT_EQ(row->sle_trazi->geometry(), units(59, 0, 1870, 96));
        EXPECT_EQ(row->ddlb_polje->geometry().topLeft(), units(2034, 0, 992, 96).topLeft());
        EXPECT_EQ(row->ddlb_polje->width(), rt::units::toPixelsX(992));
        EXPECT_EQ(row->ddlb_veza->geometry().topLeft(), units(3136, 4, 297, 96).topLeft());
        EXPECT_EQ(row->ddlb_veza->width(), rt::units::toPixelsX(297));
        // Each takes the row's font, its opened list too (made when first opened).
        for (QWidget* control : {static_cast<QWidget*>(row->sle_trazi), static_cast<QWidget*>(row->ddlb_polje),
                                 static_cast<QWidget*>(row->ddlb_veza), static_cast<QWidget*>(row->ddlb_polje->view())}) {
            EXPECT_EQ(QFontInfo(control->font()).family(), QStringLiteral("Liberation Sans")) << control->metaObject()->className();
            EXPECT_EQ(control->font().pointSize(), 10) << control->metaObject()->className();
        }
    }
}

TEST_F(SearchWindow, ResizingMovesNoControl)
{
    std::vector<QRect> before;
    for (QWidget* c : w->Control)
        before.push_back(c->geometry());
    w->resize(1200, 900);
    QCoreApplication::processEvents();
    for (std::size_t i = 0; i < w->Control.size(); ++i)
        EXPECT_EQ(w->Control[i]->geometry(), before[i]) << w->Control[i]->objectName().toStdString();
}

TEST_F(SearchWindow, RowsStartEmptyWithAddressAndAndChosenFromFixedLists)
{
    for (uo_srch1* row : {w->uo_1, w->uo_2, w->uo_3, w->uo_4}) {
        EXPECT_TRUE(row->sle_trazi->text().isEmpty());
        EXPECT_EQ(row->ddlb_polje->currentText(), QStringLiteral("Address"));
        EXPECT_EQ(row->ddlb_veza->currentText(), QStringLiteral("AND"));
        EXPECT_FALSE(row->ddlb_polje->isEditable());
        EXPECT_FALSE(row->ddlb_veza->isEditable());
        QStringList polje, veza;
        for (int i = 0; i < row->ddlb_polje->count(); ++i)
            polje << row->ddlb_polje->itemText(i);
        for (int i = 0; i < row->ddlb_veza->count(); ++i)
            veza << row->ddlb_veza->itemText(i);
        EXPECT_EQ(polje, (QStringList{"Address", "Question", "LOT", "Product", "Answer"}));
        EXPECT_EQ(veza, (QStringList{"AND", "OR", "NOT"}));
    }
    EXPECT_EQ(selectitem(w->uo_1->ddlb_veza, 4), -1);
    EXPECT_EQ(selectitem(w->uo_1->ddlb_veza, 3), 3);
    EXPECT_EQ(w->uo_1->ddlb_veza->currentText(), QStringLiteral("NOT"));
}

TEST_F(SearchWindow, TabMovesThroughEachRowThenTheGridAndTheButtons)
{
    std::vector<QWidget*> expected;
    for (uo_srch1* row : {w->uo_1, w->uo_2, w->uo_3, w->uo_4})
        expected.insert(expected.end(), {row->sle_trazi, row->ddlb_polje, row->ddlb_veza});
    expected.insert(expected.end(), {w->dw_search, w->cb_search, w->cb_delete, w->cb_view, w->cb_new, w->cb_close});
    QWidget* current = expected.front();
    for (std::size_t i = 1; i < expected.size(); ++i) {
        current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus || !w->isAncestorOf(current))
            current = current->nextInFocusChain();
        EXPECT_EQ(current, expected[i]) << "step " << i << ": " << current->objectName().toStdString() << " of "
                                        << current->parentWidget()->objectName().toStdString() << " instead of "
                                        << expected[i]->objectName().toStdString() << " of "
                                        << expected[i]->parentWidget()->objectName().toStdString();
    }
}

TEST(SearchWindowScripts, CreateTracesEachControlWithTheRowsNestedThenTheConstructors)
{
    rt::Message message;
    rt::registerMessageObject(&message);
    TraceCapture trace;
    QPointer<w_search> w = rt::open<w_search>();
    Lines expected = {"Executing event script create for class w_search, lib entry w_search",
                      "  Executing instruction at line 2"};
    for (int n : {3, 4, 5, 6}) {
        expected.push_back("  Executing instruction at line " + std::to_string(n));
        const Lines row = rowCreateTrace("  ");
        expected.insert(expected.end(), row.begin(), row.end());
    }
    for (int n = 7; n <= 13; ++n)
        expected.push_back("  Executing instruction at line " + std::to_string(n));
    expected.push_back("End event script create for class w_search, lib entry w_search");
    for (int row = 0; row < 4; ++row)
        for (const char* list : {"ddlb_veza", "ddlb_polje"}) {
            expected.push_back(std::string("Executing event script constructor for class ") + list + ", lib entry uo_srch1");
            expected.push_back("  Executing instruction at line 1");
            expected.push_back("  Executing instruction at line 3");
            expected.push_back(std::string("End event script constructor for class ") + list + ", lib entry uo_srch1");
        }
    expected.push_back("Executing event script open for class w_search, lib entry w_search");
    const Lines head(trace.lines().begin(), trace.lines().begin() + std::min(expected.size(), trace.lines().size()));
    EXPECT_EQ(head, expected);

    trace.clear();
    w->close();
    Lines destroy = {"Executing event script destroy for class w_search, lib entry w_search",
                     "  Executing instruction at line 2"};
    for (int n : {3, 4, 5, 6}) {
        const std::string name = "uo_" + std::to_string(n - 2);
        destroy.push_back("  Executing instruction at line " + std::to_string(n));
        destroy.push_back("  Executing event script destroy for class " + name + ", lib entry w_search");
        destroy.push_back("    Executing instruction at line 2");
        destroy.push_back("    Executing event script destroy for class uo_srch1, lib entry uo_srch1");
        for (int m : {2, 3, 4})
            destroy.push_back("      Executing instruction at line " + std::to_string(m));
        destroy.push_back("    End event script destroy for class uo_srch1, lib entry uo_srch1");
        destroy.push_back("  End event script destroy for class " + name + ", lib entry w_search");
    }
    for (int n = 7; n <= 12; ++n)
        destroy.push_back("  Executing instruction at line " + std::to_string(n));
    destroy.push_back("End event script destroy for class w_search, lib entry w_search");
    EXPECT_EQ(trace.lines(), destroy);
    EXPECT_FALSE(w->cb_search) << "destroyed controls are gone for later scripts";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    rt::registerMessageObject(nullptr);
}

TEST(SearchWindowScripts, DroppingOnARowOnlyTracesTheEvent)
{
    uo_srch1 row;
    rt::fire([&] { row.create(); });
    TraceCapture trace;
    rt::fire([&] { row.dragdrop(nullptr); });
    const Lines expected = {"Executing event script dragdrop for class uo_srch1, lib entry uo_srch1",
                            "  Executing instruction at line 2",
                            "End event script dragdrop for class uo_srch1, lib entry uo_srch1"};
    EXPECT_EQ(trace.lines(), expected);
}

TEST_F(SearchWindow, PictureForAPerson)
{
    EXPECT_TRUE(w->grab().save(picturePath(QStringLiteral("w_search.png"))));
}
