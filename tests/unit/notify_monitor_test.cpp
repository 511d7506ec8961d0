#include "display/notify_monitor.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/dpi.h"

using namespace vl;

namespace {

// A 1920x1080 primary with a second monitor on each side in turn.
const Monitor kPrimary{{0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true};
const Monitor kLeft{{-1280, 56, 0, 1080}, "\\\\.\\DISPLAY2", false};  // 1280x1024, bottoms aligned
const Monitor kAbove{{0, -1440, 2560, 0}, "\\\\.\\DISPLAY3", false};
const Monitor kBelow{{320, 1080, 1600, 1880}, "\\\\.\\DISPLAY4", false};

}  // namespace

TEST(NotifyMonitor, TheStoredMonitorOrThePrimaryWhenItIsGone) {
    const std::vector<Monitor> desk = {kLeft, kPrimary, kAbove};
    EXPECT_EQ(NotifyMonitorOf(desk, "\\\\.\\DISPLAY3"), &desk[2]);
    EXPECT_EQ(NotifyMonitorOf(desk, ""), &desk[1]);
    EXPECT_EQ(NotifyMonitorOf(desk, "\\\\.\\DISPLAY9"), &desk[1]);  // unplugged since it was chosen
    EXPECT_EQ(NotifyMonitorOf(desk, "\\\\.\\display3"), &desk[1]);  // names are compared as Windows gives them
    // Nothing says primary (an odd driver): the first; nothing at all: none.
    const std::vector<Monitor> unmarked = {kLeft, kAbove};
    EXPECT_EQ(NotifyMonitorOf(unmarked, "x"), &unmarked[0]);
    EXPECT_EQ(NotifyMonitorOf({}, ""), nullptr);
}

// The stored position counts from the chosen monitor's corner, wherever
// that monitor lies, and what is shown stays whole on it.
TEST(NotifyMonitor, PlacementCountsFromTheMonitorAndKeepsEveryIconOnIt) {
    struct Case {
        Monitor monitor;
        ScreenPoint stored;
        int width, height;
        ScreenRect want;
    };
    const Case cases[] = {
        {kPrimary, {48, 295}, 32, 32, {48, 295, 80, 327}},
        {kLeft, {48, 295}, 96, 32, {-1232, 351, -1136, 383}},    // negative x, top below the primary's
        {kAbove, {100, 100}, 32, 96, {100, -1340, 132, -1244}},  // negative y
        {kBelow, {10, 10}, 32, 32, {330, 1090, 362, 1122}},
        // Three icons in a row from near the right edge: the row moves left so
        // that the last one stays on the left monitor, not on the primary.
        {kLeft, {1240, 0}, 96, 32, {-96, 56, 0, 88}},
        // A column from near the bottom of the monitor above: it stops at its bottom.
        {kAbove, {0, 1430}, 32, 96, {0, -96, 32, 0}},
        // Off the top-left, as a hand-edited file may say.
        {kBelow, {-500, -500}, 32, 32, {320, 1080, 352, 1112}},
        // Larger than the monitor: its top-left corner wins.
        {kBelow, {50, 50}, 2000, 32, {320, 1130, 2320, 1162}},
        // Icons on a 192-DPI monitor are twice as large, and still fit.
        {kPrimary, {1900, 1070}, 3 * ScaleToDpi(32, 192), ScaleToDpi(32, 192), {1728, 1016, 1920, 1080}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceOnMonitor(c.monitor.rect, c.stored, c.width, c.height), c.want)
            << c.monitor.name << " " << c.stored.x << "," << c.stored.y;
}

TEST(NotifyMonitor, WithoutAKnownMonitorThePositionIsTakenAsItIsAndNothingOverflows) {
    EXPECT_EQ(PlaceOnMonitor({}, {48, 295}, 64, 32), (ScreenRect{48, 295, 112, 327}));
    EXPECT_EQ(PlaceOnMonitor({}, {INT_MAX, INT_MIN}, 64, 32), (ScreenRect{INT_MAX - 64, INT_MIN, INT_MAX, INT_MIN + 32}));
    EXPECT_EQ(PlaceOnMonitor({-500, -400, -500, -400}, {INT_MIN, 0}, 64, 32),  // empty: none known
              (ScreenRect{INT_MIN, -400, INT_MIN + 64, -368}));
    EXPECT_EQ(PlaceOnMonitor(kLeft.rect, {INT_MAX, INT_MAX}, 32, 32), (ScreenRect{-32, 1048, 0, 1080}));
}

TEST(NotifyMonitor, AMonitorIsKnownByTheNumberWindowsGivesIt) {
    EXPECT_EQ(MonitorNumber(kAbove, 0), "3");
    EXPECT_EQ(MonitorNumber({{}, "\\\\.\\DISPLAY12", false}, 0), "12");
    EXPECT_EQ(MonitorNumber({{}, "WinDisc", false}, 1), "2");  // no number in the name: its place in the list
    EXPECT_EQ(MonitorNumber({{}, "", false}, 0), "1");
}
