// Centring a window on the screen.

#include "app/globals.h"
#include "runtime/display.h"
#include "runtime/layout_units.h"
#include "search/w_search.h"
#include "support/recorded_message_boxes.h"
#include "support/trace_capture.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// A screen of the given size in layout units, for as long as it lives.
struct FakeScreen {
    FakeScreen(int widthUnits, int heightUnits)
    {
        rt::installEnvironmentProvider([=]() -> std::optional<rt::Environment> {
            return rt::Environment{rt::units::toPixelsX(widthUnits), rt::units::toPixelsY(heightUnits)};
        });
    }
    FakeScreen() { rt::installEnvironmentProvider([]() -> std::optional<rt::Environment> { return std::nullopt; }); }
    ~FakeScreen() { rt::installEnvironmentProvider(nullptr); }
};

struct Opened {
    Opened() : window(rt::open<w_search>()) {}
    ~Opened()
    {
        if (window)
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QPointer<w_search> window;
};

} // namespace

TEST(CentredPosition, HalvesTheDifferenceTruncatingTowardZero)
{
    struct Case {
        qint16 screen, window, expected;
    };
    const Case cases[] = {
        {4000, 3730, 135},  {4001, 3730, 135},  // 271 / 2 truncates
        {3729, 3730, 0},    // -1 / 2 is 0, not -1
        {3000, 3730, -365}, // larger than the screen: negative, no clamping
        {32767, -32768, 32767},
    };
    for (const auto& c : cases)
        EXPECT_EQ(centredPosition(c.screen, c.window), c.expected) << c.screen << " - " << c.window;
}

TEST(Centring, SearchWindowOpensCentredOnTheScreen)
{
    FakeScreen screen(4000, 3000);
    Opened opened;
    ASSERT_TRUE(opened.window);
    EXPECT_EQ(opened.window->size(), QSize(816, 533));
    EXPECT_EQ(opened.window->frameGeometry().topLeft(),
              QPoint(rt::units::toPixelsX(135), rt::units::toPixelsY((3000 - 2132) / 2)));
    EXPECT_EQ(g.rbr, 0);
}

TEST(Centring, CentresOnTheScreenWhereverTheCallerStands)
{
    FakeScreen screen(8000, 6000);
    Opened opened;
    rt::Window other(rt::WindowKind::Popup, "w_other");
    other.setSize(1362, 556);
    opened.window->move(5, 5);
    rt::fire([&] { opened.window->centriraj_prozor(&other); });
    EXPECT_EQ(other.frameGeometry().topLeft(),
              QPoint(rt::units::toPixelsX((8000 - 1362) / 2), rt::units::toPixelsY((6000 - 556) / 2)));
}

TEST(Centring, FailedDisplayQueryMovesNothingAndSaysNothing)
{
    RecordedMessageBoxes boxes;
    FakeScreen failing;
    rt::Window other(rt::WindowKind::Popup, "w_other");
    other.move(40, 50);
    w_search search;
    TraceCapture trace;
    EXPECT_EQ(rt::fire([&] { search.centriraj_prozor(&other); }), 1);
    EXPECT_EQ(other.pos(), QPoint(40, 50));
    EXPECT_TRUE(boxes.shown().empty());
    const std::vector<std::string> expected = {
        "Executing object function centriraj_prozor for class w_search, lib entry w_search",
        "  Executing instruction at line 7",
        "  Executing instruction at line 8",
        "End object function centriraj_prozor for class w_search, lib entry w_search",
    };
    EXPECT_EQ(trace.lines(), expected);
}

TEST(Centring, NullWindowIsANullObjectReference)
{
    RecordedMessageBoxes boxes;
    FakeScreen screen(4000, 3000);
    w_search search;
    EXPECT_EQ(rt::fire([&] { search.centriraj_prozor(nullptr); }), 0);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("20502")));
}
