#include "display/icon_layout.h"
#include "display/notify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "fake_host.h"

using namespace vl;
using vltest::FakeHost;

namespace {

class FakeDisplay : public DisplayPorts {
public:
    TwipsScale twips{15, 15};
    double elementPixels = 32;
    std::set<std::string> files;        // exist
    std::set<std::string> brokenFiles;  // exist but are no icons
    std::vector<std::string> calls;
    std::map<int, std::pair<double, double>> elements;  // k -> left, top (twips)
    std::vector<double> carrier = {0, 0, 0, 0};
    std::vector<double> lefts;  // every Left the blinking set

    void Log(const std::string& what, int k) { calls.push_back(what + " " + std::to_string(k)); }
    std::string ProgramFolder() override { return "C:\\V"; }
    TwipsScale Twips() override { return twips; }
    bool FileExists(const std::string& path) override { return files.count(path) || brokenFiles.count(path); }
    std::uintptr_t probeWindow = 0x500;
    std::map<std::uintptr_t, std::uint32_t> windowOwners = {{0x500, 50}};
    std::uintptr_t WindowAtProbePoint() override { return probeWindow; }
    std::uint32_t ProcessOfWindow(std::uintptr_t window) override { return windowOwners[window]; }
    void BecomeChildOf(std::uintptr_t window) override {
        calls.push_back(window == 0x500 ? "child" : "child of " + std::to_string(window));
    }
    void CreateElement(int k) override { Log("element", k); }
    bool LoadElementPicture(int k, const std::string& path) override {
        return files.count(path) && (Log("picture", k), true);
    }
    void SetElementFallback(int k) override { Log("fallback", k); }
    double ElementWidthTwips(int) override { return elementPixels * twips.perPixelX; }
    double ElementHeightTwips(int) override { return elementPixels * twips.perPixelY; }
    void PlaceElement(int k, double l, double t) override { elements[k] = {l, t}; }
    void PlaceCarrier(double l, double t, double w, double h) override { carrier = {l, t, w, h}; }
    void SetCarrierLeft(double l) override { lefts.push_back(l); }
    void RepaintElement(int k) override { Log("repaint", k); }
    std::uintptr_t CarrierDc() override { return 0xDC; }
    void DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) override {
        calls.push_back("draw " + std::to_string(dc) + " " + std::to_string(x) + "," + std::to_string(y) + " " + path);
    }
    std::pair<int, int> DrawIconOnScreen(int x, int y, const std::string& path) override {
        calls.push_back("screen " + std::to_string(x) + "," + std::to_string(y) + " " + path);
        return {32, 32};
    }
    void DrawTextLine(int line, const std::string& text) override {
        calls.push_back("text " + std::to_string(line) + " " + text);
    }
};

class DisplayTest : public ::testing::Test {
protected:
    RuntimeState state;
    FakeHost host;
    FakeDisplay display;

    void SetUp() override {
        state.host.IsSaverRunning = true;
        state.host.ShellTaskId = 50;
        state.host.SaverSeenOwning = true;
        state.host.SaverProcessIds = {50};
        state.host.SaverProcessCount = 1;
        state.host.SaverConfirmed = true;
        state.host.OverlayTimer = 2;
        state.settings.NotifyX = 48;
        state.settings.NotifyY = 295;
        state.settings.IconOrientation = 1;
        host.owner = 50;
        display.files = {"C:\\i\\a.ico", "C:\\i\\b.ico", "C:\\i\\c.ico", "C:\\V\\QVX_data\\bell.ico"};
    }
    void Ex(std::string icon, std::int16_t n = 1) { ShowIconEx(state, host, host, display, n, icon); }
};

// Rows and orientation 2 are checked through ShowIconEx below; here any other
// orientation, and the scale at another DPI.
TEST(IconLayout, ColumnForAnyOrientationButOneAndOtherDpiKeepsTheCarrierOnItsIcons) {
    const CarrierLayout column = LayoutCarrierIcon(2, 480, 480, 480, 7, 48, 295, TwipsScale{15, 15});
    EXPECT_EQ(std::pair(column.elementTop, column.carrierHeight), std::pair(960.0, 1440.0));
    const TwipsScale t = TwipsScale::FromDpi(120, 120);  // 12 twips per pixel
    const double w = 32 * t.perPixelX;
    const CarrierLayout l = LayoutCarrierIcon(1, w, w, w, 1, 100, 50, t);
    EXPECT_EQ((std::vector{t.PxX(l.carrierLeft), t.PxY(l.carrierTop), t.PxX(l.carrierWidth), t.PxY(l.carrierHeight),
                           t.PxX(l.elementLeft)}),
              (std::vector{100, 50, 64, 32, 32}));
    EXPECT_EQ(ScreenIconPosition(2, 2, 48, 295).y, 375);  // the row pitch is checked through ShowIcon
}

TEST_F(DisplayTest, FirstIconMakesTheCarrierAChildAndIconsInARowCoverEachOtherExactly) {
    Ex("C:\\i\\a.ico", 2);
    EXPECT_TRUE(state.display.IconsShown);
    ASSERT_EQ(state.display.DrawnIcons.size(), 2u);  // always one spare
    EXPECT_EQ(state.display.DrawnIcons[1], DrawnIcon{});
    EXPECT_EQ(state.display.DrawnIcons[0].Index, 2);
    EXPECT_EQ(state.display.DrawnIcons[0].CarrierDC, 0xDCu);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"child", "picture 0"}));
    EXPECT_EQ(display.carrier, (std::vector<double>{720, 4425, 480, 480}));
    Ex("C:\\i\\b.ico");
    Ex("C:\\i\\c.ico");
    EXPECT_EQ(display.elements[1], (std::pair<double, double>{480, 0}));
    EXPECT_EQ(display.elements[2], (std::pair<double, double>{960, 0}));
    EXPECT_EQ(display.carrier, (std::vector<double>{720, 4425, 1440, 480}));
}

TEST_F(DisplayTest, EachPathIsPlacedOnceBareNamesAreCompletedAndBadFilesGetTheFallback) {
    std::string icon = "bell.ico";
    ShowIconEx(state, host, host, display, 1, icon);
    EXPECT_EQ(icon, "C:\\V\\QVX_data\\bell.ico");  // completed for the caller too
    EXPECT_EQ(state.display.DrawnIcons[0].IconPath, icon);
    display.brokenFiles = {"C:\\i\\broken.ico"};
    for (const char* path : {"C:\\i\\missing.ico", "C:\\i\\broken.ico", "C:\\i\\b.ico", "C:\\i\\b.ico", "C:\\I\\B.ICO"})
        Ex(path);
    EXPECT_EQ(state.display.DrawnIconCount, 5);  // letter case makes a new icon
    EXPECT_EQ(display.calls,
              (std::vector<std::string>{"child", "picture 0", "element 1", "fallback 1", "element 2", "fallback 2",
                                        "element 3", "picture 3", "element 4", "fallback 4"}));
}

TEST_F(DisplayTest, ForeignWindowAtTheProbePointShutsDownInsteadOfDrawing) {
    host.owner = 4;
    state.host.DisplayPropertiesTimer = 3;
    Ex("C:\\i\\a.ico");
    EXPECT_EQ(state.display.DrawnIconCount, 0);
    EXPECT_TRUE(display.calls.empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "kill 3", "finish"}));
}

// The saver ended between the ownership test and the first icon: the window
// now at (1,1) is another program's, or there is none.
TEST_F(DisplayTest, TheCarrierGoesOnlyIntoAWindowOfTheSaversProcesses) {
    display.windowOwners[0x600] = 4;
    for (const std::uintptr_t window : {std::uintptr_t{0x600}, std::uintptr_t{0}}) {
        display.probeWindow = window;
        Ex("C:\\i\\a.ico");
        EXPECT_TRUE(display.calls.empty()) << window;
        EXPECT_EQ(state.display.DrawnIconCount, 0) << window;
    }
    display.probeWindow = 0x700;
    display.windowOwners[0x700] = 50;  // another window of the saver
    Ex("C:\\i\\a.ico");
    EXPECT_EQ(display.calls, (std::vector<std::string>{"child of 1792", "picture 0"}));
    EXPECT_EQ(state.display.DrawnIconCount, 1);
}

TEST_F(DisplayTest, ShowIconDrawsOnTheScreenAtItsPitchAndSharesTheTable) {
    Ex("C:\\i\\a.ico");
    std::string a = "C:\\i\\a.ico", b = "C:\\i\\b.ico", c = "C:\\i\\c.ico";
    ShowIcon(state, host, host, display, 1, a);  // already placed: nothing
    ShowIcon(state, host, host, display, 1, b);
    ShowIcon(state, host, host, display, 0, c);
    EXPECT_EQ(state.display.DrawnIconCount, 3);
    EXPECT_EQ(std::vector(display.calls.end() - 2, display.calls.end()),
              (std::vector<std::string>{"screen 88,295 C:\\i\\b.ico", "screen 128,295 C:\\i\\c.ico"}));
    EXPECT_EQ(state.display.DrawnIcons[2].CarrierDC, 0u);
    display.calls.clear();
    OverlayDraw(state, display);  // icons on the screen have no carrier to repaint
    EXPECT_EQ(display.calls, std::vector<std::string>{"draw 220 0,0 C:\\i\\a.ico"});
}

TEST_F(DisplayTest, OverlayRepaintsEachCarrierIconWithoutBlinking) {
    OverlayDraw(state, display);  // nothing before the first icon
    EXPECT_TRUE(display.calls.empty());
    state.settings.IconOrientation = 2;
    Ex("C:\\i\\a.ico");
    Ex("C:\\i\\b.ico");
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"draw 220 0,0 C:\\i\\a.ico", "draw 220 0,32 C:\\i\\b.ico"}));
    EXPECT_TRUE(display.lefts.empty());
}

TEST_F(DisplayTest, BlinkingAlternatesAndALaterIconTakesOverThePhase) {
    state.settings.BlinkIcons = true;
    Ex("C:\\i\\a.ico");
    OverlayDraw(state, display);  // first tick after placing: on the screen
    OverlayDraw(state, display);
    OverlayDraw(state, display);
    EXPECT_EQ(display.lefts, (std::vector<double>{720, -20000, 720}));
    // Painted only where it can be seen: twice on the screen, not while parked.
    EXPECT_EQ(std::count(display.calls.begin(), display.calls.end(), "draw 220 0,0 C:\\i\\a.ico"), 2);
    Ex("C:\\i\\b.ico");  // placed while the first entry's phase is True
    display.lefts.clear();
    OverlayDraw(state, display);
    OverlayDraw(state, display);
    // The carrier moves once a tick; the last entry's phase decides.
    EXPECT_EQ(display.lefts, (std::vector<double>{720, -20000}));
}

TEST_F(DisplayTest, EnlargedIconsPaintNothingAndRepaintOnlyWhileBlinking) {
    state.settings.EnlargeIcons = true;
    display.elementPixels = 64;
    Ex("C:\\i\\a.ico");
    EXPECT_EQ(state.display.DrawnIcons[0].Width, 960);
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_TRUE(display.calls.empty());
    state.settings.BlinkIcons = true;
    OverlayDraw(state, display);  // parked off the screen: nothing is painted
    EXPECT_TRUE(display.calls.empty());
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls, std::vector<std::string>{"repaint 0"});
}

TEST_F(DisplayTest, TextsKeepTheirLinesAndAreDrawnAgainOnEveryTick) {
    ShowText(state, display, "You've got email");
    ShowText(state, display, "C:\\r.txt has been modified");
    ShowText(state, display, "You've got email");  // mail still unread: the same line again
    EXPECT_EQ(display.calls, (std::vector<std::string>{"text 0 You've got email", "text 1 C:\\r.txt has been modified",
                                                       "text 0 You've got email"}));
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls,
              (std::vector<std::string>{"text 0 You've got email", "text 1 C:\\r.txt has been modified"}));
}

}  // namespace
