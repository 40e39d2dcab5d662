// The yes/no dialog driven by mouse and keyboard.

#include "app/globals.h"
#include "dialogs/w_da_ne.h"
#include "runtime/display.h"
#include "runtime/layout_units.h"
#include "search/w_search.h"
#include "support/dialog_driver.h"
#include "support/recorded_message_boxes.h"
#include "support/trace_capture.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

namespace {

const QString kQuestion = QString(54, u' ') + QStringLiteral("Would you like to delete FAQ entry?");

class YesNoDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        rt::registerMessageObject(&message);
        rt::installEnvironmentProvider([]() -> std::optional<rt::Environment> {
            return rt::Environment{rt::units::toPixelsX(6400), rt::units::toPixelsY(4000)};
        });
        g.w_search = rt::open<w_search>();
    }
    void TearDown() override
    {
        if (g.w_search)
            g.w_search->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rt::installEnvironmentProvider(nullptr);
        rt::registerMessageObject(nullptr);
    }
    // Opens the dialog, lets the action answer it, returns the answer.
    std::optional<QString> ask(std::function<void(w_da_ne&)> action, std::optional<QString> question = kQuestion)
    {
        whenOpen<w_da_ne>(std::move(action));
        rt::openWithParm<w_da_ne>(question);
        return message.StringParm;
    }
    rt::Message message;
};

} // namespace

TEST_F(YesNoDialog, AnswersDaOnlyForYes)
{
    struct Case {
        const char* how;
        std::function<void(w_da_ne&)> action;
        const char* answer;
    };
    const Case cases[] = {
        {"click YES", [](w_da_ne& d) { QTest::mouseClick(d.cb_da, Qt::LeftButton); }, "DA"},
        {"click NO", [](w_da_ne& d) { QTest::mouseClick(d.cb_ne, Qt::LeftButton); }, "NE"},
        {"Enter", [](w_da_ne& d) { QTest::keyClick(d.mle_tekst, Qt::Key_Return); }, "NE"},
        {"Enter on the window", [](w_da_ne& d) { QTest::keyClick(&d, Qt::Key_Enter); }, "NE"},
        {"Enter with YES focused",
         [](w_da_ne& d) {
             d.cb_da->setFocus();
             QTest::keyClick(d.cb_da, Qt::Key_Return);
         },
         "DA"},
        {"Space on YES", [](w_da_ne& d) { QTest::keyClick(d.cb_da, Qt::Key_Space); }, "DA"},
        {"Escape", [](w_da_ne& d) { QTest::keyClick(d.mle_tekst, Qt::Key_Escape); }, "NE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ask(c.action), std::optional<QString>(QString::fromLatin1(c.answer))) << c.how;
}

TEST_F(YesNoDialog, ShowsTheQuestionExactlyAsPassed)
{
    QString shown;
    ask([&](w_da_ne& d) {
        shown = d.mle_tekst->toPlainText();
        EXPECT_TRUE(d.mle_tekst->isReadOnly());
        d.cb_ne->click();
    });
    EXPECT_EQ(shown, kQuestion);
    ask(
        [&](w_da_ne& d) {
            shown = d.mle_tekst->toPlainText();
            d.cb_ne->click();
        },
        std::nullopt);
    EXPECT_EQ(shown, QString());
}

TEST_F(YesNoDialog, IsCentredOnTheScreenNotOnTheSearchWindow)
{
    g.w_search->move(3, 7);
    QRect geometry;
    bool frameless = false, modal = false;
    ask([&](w_da_ne& d) {
        geometry = d.frameGeometry();
        frameless = d.windowFlags().testFlag(Qt::FramelessWindowHint);
        modal = d.isModal();
        EXPECT_TRUE(d.grab().save(picturePath(QStringLiteral("w_da_ne.png"))));
        d.cb_ne->click();
    });
    EXPECT_EQ(geometry.size(), QSize(298, 139));
    EXPECT_EQ(geometry.topLeft(),
              QPoint(rt::units::toPixelsX((6400 - 1362) / 2), rt::units::toPixelsY((4000 - 556) / 2)));
    EXPECT_TRUE(frameless);
    EXPECT_TRUE(modal);
}

TEST_F(YesNoDialog, FontsAreTheArialCompatibleFace)
{
    ask([&](w_da_ne& d) {
        EXPECT_EQ(QFontInfo(d.mle_tekst->font()).family(), QStringLiteral("Liberation Sans"));
        EXPECT_EQ(d.mle_tekst->font().pointSize(), 12);
        EXPECT_EQ(d.cb_ne->font().pointSize(), 9);
        EXPECT_TRUE(d.cb_ne->font().bold());
        EXPECT_EQ(d.cb_ne->text(), QStringLiteral("NO"));
        EXPECT_EQ(d.cb_da->text(), QStringLiteral("YES"));
        EXPECT_TRUE(d.cb_ne->isDefault());
        EXPECT_FALSE(d.cb_da->isDefault());
        d.cb_ne->click();
    });
}

TEST_F(YesNoDialog, OpenTracesTheCentringNestedOneLevelDeeper)
{
    TraceCapture trace;
    ask([&](w_da_ne& d) { d.cb_da->click(); });
    const Lines& lines = trace.lines();
    const auto first = std::find(lines.begin(), lines.end(), "Executing event script open for class w_da_ne, lib entry w_da_ne");
    ASSERT_NE(first, lines.end());
    const Lines open(first, first + 12);
    const Lines expected = {
        "Executing event script open for class w_da_ne, lib entry w_da_ne",
        "  Executing instruction at line 1",
        "  Executing object function centriraj_prozor for class w_search, lib entry w_search",
        "    Executing instruction at line 7",
        "    Executing instruction at line 8",
        "    Executing instruction at line 10",
        "    Executing instruction at line 11",
        "    Executing instruction at line 15",
        "    Executing instruction at line 16",
        "  End object function centriraj_prozor for class w_search, lib entry w_search",
        "  Executing instruction at line 3",
        "End event script open for class w_da_ne, lib entry w_da_ne",
    };
    EXPECT_EQ(open, expected);
    const Lines click(lines.end() - 4, lines.end());
    const auto destroyAt = std::find(lines.begin(), lines.end(), "Executing event script clicked for class cb_da, lib entry w_da_ne");
    ASSERT_NE(destroyAt, lines.end());
    EXPECT_EQ(*(destroyAt + 1), "  Executing instruction at line 1");
    EXPECT_EQ(*(destroyAt + 2), "  Executing event script destroy for class w_da_ne, lib entry w_da_ne");
    EXPECT_EQ(lines.back(), "End event script clicked for class cb_da, lib entry w_da_ne");
}

TEST_F(YesNoDialog, WithoutTheSearchWindowTheOpenStopsAndTheDialogStaysUncentred)
{
    RecordedMessageBoxes boxes;
    g.w_search->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(g.w_search);
    QPoint where;
    const auto answer = ask([&](w_da_ne& d) {
        where = d.pos();
        d.cb_da->click();
    });
    EXPECT_EQ(answer, std::optional<QString>(QStringLiteral("DA")));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("20502")));
    EXPECT_NE(where, QPoint(rt::units::toPixelsX((6400 - 1362) / 2), rt::units::toPixelsY((4000 - 556) / 2)));
}
