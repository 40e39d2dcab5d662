// Opening and closing windows, and the message object between them.

#include "runtime/window.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Journal {
    std::vector<std::string> events;
    std::optional<QString> parmAtOpen;
};

class TestWindow : public rt::Window {
public:
    TestWindow(Journal& journal, rt::WindowKind kind) : rt::Window(kind, "w_test"), journal_(journal) {}
    void create() override { journal_.events.push_back("create"); }
    void open() override
    {
        journal_.events.push_back("open");
        journal_.parmAtOpen = rt::messageObject()->StringParm;
        if (kind() == rt::WindowKind::Response)
            QTimer::singleShot(0, this, [this] { rt::closeWithReturn(this, QStringLiteral("DA")); });
    }
    void destroy() override { journal_.events.push_back("destroy"); }

private:
    Journal& journal_;
};

class Windows : public ::testing::Test {
protected:
    void SetUp() override { rt::registerMessageObject(&message); }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rt::registerMessageObject(nullptr);
    }
    rt::Message message;
    Journal journal;
};

} // namespace

TEST_F(Windows, OpenWithParmHandsTheTextToTheOpenScriptThenShows)
{
    QPointer<TestWindow> w = rt::openWithParm<TestWindow>(QStringLiteral("17"), journal, rt::WindowKind::Popup);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(journal.events, (std::vector<std::string>{"create", "open"}));
    EXPECT_EQ(journal.parmAtOpen, std::optional<QString>(QStringLiteral("17")));

    EXPECT_TRUE(rt::close(w));
    EXPECT_FALSE(rt::close(w)) << "a closed window cannot close again";
    EXPECT_EQ(journal.events.back(), "destroy");
    EXPECT_TRUE(w) << "the object outlives the handler that closed it";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
}

TEST_F(Windows, ResponseWindowWaitsAndLeavesItsAnswerInTheMessage)
{
    rt::openWithParm<TestWindow>(QStringLiteral("question"), journal, rt::WindowKind::Response);
    EXPECT_EQ(journal.parmAtOpen, std::optional<QString>(QStringLiteral("question")));
    EXPECT_EQ(journal.events, (std::vector<std::string>{"create", "open", "destroy"}));
    EXPECT_EQ(message.StringParm, std::optional<QString>(QStringLiteral("DA")));
}

TEST_F(Windows, TitleBarCloseRunsTheDestroyScriptOnce)
{
    QPointer<TestWindow> w = rt::open<TestWindow>(journal, rt::WindowKind::Main);
    w->close();
    w->close();
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "destroy"), 1);
}

TEST_F(Windows, PositionsAndSizesAreInLayoutUnits)
{
    TestWindow w(journal, rt::WindowKind::Popup);
    w.setSize(3721, 2132);
    EXPECT_EQ(w.size(), QSize(814, 533));
    w.setX(320);
    w.setY(400);
    EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(70, 100));
    EXPECT_EQ(w.X(), 320);
    EXPECT_EQ(w.Y(), 400);
}
