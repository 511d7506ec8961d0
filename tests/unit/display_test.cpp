#include "display/icon_layout.h"
#include "display/notify.h"

#include <gtest/gtest.h>

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
    std::set<std::string> files;         // exist
    std::set<std::string> brokenFiles;   // exist but are no icons
    std::vector<std::string> calls;
    std::map<int, std::pair<double, double>> elements;  // k -> left, top (twips)
    std::vector<double> carrier = {0, 0, 0, 0};
    std::vector<double> lefts;  // every Left the blinking set

    std::string ProgramFolder() override { return "C:\\V"; }
    TwipsScale Twips() override { return twips; }
    bool FileExists(const std::string& path) override { return files.count(path) || brokenFiles.count(path); }
    void BecomeChildOfSaver() override { calls.push_back("child"); }
    void CreateElement(int k) override { calls.push_back("element " + std::to_string(k)); }
    bool LoadElementPicture(int k, const std::string& path) override {
        if (!files.count(path)) return false;
        calls.push_back("picture " + std::to_string(k));
        return true;
    }
    void SetElementFallback(int k) override { calls.push_back("fallback " + std::to_string(k)); }
    double ElementWidthTwips(int) override { return elementPixels * twips.perPixelX; }
    double ElementHeightTwips(int) override { return elementPixels * twips.perPixelY; }
    void PlaceElement(int k, double l, double t) override { elements[k] = {l, t}; }
    void PlaceCarrier(double l, double t, double w, double h) override { carrier = {l, t, w, h}; }
    void SetCarrierLeft(double l) override { lefts.push_back(l); }
    void RepaintElement(int k) override { calls.push_back("repaint " + std::to_string(k)); }
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
        state.IsSaverRunning = true;
        state.ShellTaskId = 50;
        state.SaverSeenOwning = true;
        state.SaverProcessIds = {50};
        state.SaverProcessCount = 1;
        state.SaverConfirmed = true;
        state.OverlayTimer = 2;
        state.NotifyX = 48;
        state.NotifyY = 295;
        state.IconOrientation = 1;
        host.owner = 50;
        display.files = {"C:\\i\\a.ico", "C:\\i\\b.ico", "C:\\i\\c.ico", "C:\\V\\QVX_Data\\bell.ico"};
    }
    void Ex(const std::string& icon, std::int16_t n = 1) {
        std::string path = icon;
        ShowIconEx(state, host, display, n, path);
    }
};

TEST(IconLayout, ThreeIconsInARowAndInAColumnAt15TwipsPerPixel) {
    const TwipsScale t{15, 15};
    CarrierLayout third = LayoutCarrierIcon(2, 480, 480, 480, 1, 48, 295, t);
    EXPECT_EQ(third.elementLeft, 960);
    EXPECT_EQ(third.elementTop, 0);
    EXPECT_EQ(third.entryX, 960);
    EXPECT_EQ(third.carrierLeft, 720);
    EXPECT_EQ(third.carrierTop, 4425);
    EXPECT_EQ(third.carrierWidth, 1440);
    EXPECT_EQ(third.carrierHeight, 480);

    CarrierLayout column = LayoutCarrierIcon(2, 480, 480, 480, 2, 48, 295, t);
    EXPECT_EQ(column.elementLeft, 0);
    EXPECT_EQ(column.elementTop, 960);
    EXPECT_EQ(column.entryY, 960);
    EXPECT_EQ(column.carrierWidth, 480);
    EXPECT_EQ(column.carrierHeight, 1440);
    // Any orientation other than 1 is a column.
    EXPECT_EQ(LayoutCarrierIcon(1, 480, 480, 480, 7, 0, 0, t).elementTop, 480);
}

TEST(IconLayout, OtherDpiKeepsTheCarrierOnItsIcons) {
    const TwipsScale t = TwipsScale::FromDpi(120, 120);  // 12 twips per pixel
    const double w = 32 * t.perPixelX;                 // a 32-pixel element: 384 twips
    CarrierLayout l = LayoutCarrierIcon(1, w, w, w, 1, 100, 50, t);
    EXPECT_EQ(t.PxX(l.carrierLeft), 100);
    EXPECT_EQ(t.PxY(l.carrierTop), 50);
    EXPECT_EQ(t.PxX(l.carrierWidth), 64);
    EXPECT_EQ(t.PxY(l.carrierHeight), 32);
    EXPECT_EQ(t.PxX(l.elementLeft), 32);
}

TEST(IconLayout, ScreenIconsAtAFortyPixelPitch) {
    EXPECT_EQ(ScreenIconPosition(2, 1, 48, 295).x, 128);
    EXPECT_EQ(ScreenIconPosition(2, 1, 48, 295).y, 295);
    EXPECT_EQ(ScreenIconPosition(2, 2, 48, 295).x, 48);
    EXPECT_EQ(ScreenIconPosition(2, 2, 48, 295).y, 375);
}

TEST(IconLayout, BareNamesAreCompletedInTheDataFolder) {
    EXPECT_EQ(CompleteIconPath("bell.ico", "C:\\V"), "C:\\V\\QVX_Data\\bell.ico");
    EXPECT_EQ(CompleteIconPath("C:\\x\\bell.ico", "C:\\V"), "C:\\x\\bell.ico");
    EXPECT_EQ(CompleteIconPath("", "C:\\V"), "C:\\V\\QVX_Data\\");
}

TEST_F(DisplayTest, FirstIconMakesTheCarrierAChildAndFillsTheSpareElement) {
    Ex("C:\\i\\a.ico", 2);
    EXPECT_TRUE(state.IconsShown);
    ASSERT_EQ(state.DrawnIconCount, 1);
    ASSERT_EQ(state.DrawnIcons.size(), 2u);  // always one spare
    EXPECT_EQ(state.DrawnIcons[1], DrawnIcon{});
    const DrawnIcon& e = state.DrawnIcons[0];
    EXPECT_EQ(e.Index, 2);
    EXPECT_EQ(e.IconPath, "C:\\i\\a.ico");
    EXPECT_EQ(e.Width, 480);
    EXPECT_EQ(e.CarrierDC, 0xDCu);
    EXPECT_FALSE(e.BlinkPhase);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"child", "picture 0"}));
    EXPECT_EQ(display.carrier, (std::vector<double>{720, 4425, 480, 480}));
}

TEST_F(DisplayTest, ThreeIconsInARowCoverEachOtherExactly) {
    Ex("C:\\i\\a.ico");
    Ex("C:\\i\\b.ico");
    Ex("C:\\i\\c.ico");
    EXPECT_EQ(display.elements[1], (std::pair<double, double>{480, 0}));
    EXPECT_EQ(display.elements[2], (std::pair<double, double>{960, 0}));
    EXPECT_EQ(display.carrier, (std::vector<double>{720, 4425, 1440, 480}));
    EXPECT_EQ(state.DrawnIcons[2].X, 960);
    EXPECT_EQ(state.DrawnIcons.size(), 4u);
}

TEST_F(DisplayTest, TheSamePathIsPlacedOnceAndCaseMakesANewIcon) {
    Ex("C:\\i\\a.ico");
    Ex("C:\\i\\a.ico");
    EXPECT_EQ(state.DrawnIconCount, 1);
    Ex("C:\\I\\A.ICO");
    EXPECT_EQ(state.DrawnIconCount, 2);
}

TEST_F(DisplayTest, BareNameIsCompletedForTheCaller) {
    std::string icon = "bell.ico";
    ShowIconEx(state, host, display, 1, icon);
    EXPECT_EQ(icon, "C:\\V\\QVX_Data\\bell.ico");
    EXPECT_EQ(state.DrawnIcons[0].IconPath, icon);
}

TEST_F(DisplayTest, MissingOrBrokenIconFilesGetTheFallbackAndLaterIconsStillShow) {
    display.brokenFiles = {"C:\\i\\broken.ico"};
    Ex("C:\\i\\missing.ico");
    Ex("C:\\i\\broken.ico");
    Ex("C:\\i\\b.ico");
    EXPECT_EQ(state.DrawnIconCount, 3);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"child", "fallback 0", "element 1", "fallback 1", "element 2",
                                                       "picture 2"}));
}

TEST_F(DisplayTest, ForeignWindowAtTheProbePointShutsDownInsteadOfDrawing) {
    host.owner = 4;
    state.DisplayPropertiesTimer = 3;
    Ex("C:\\i\\a.ico");
    EXPECT_FALSE(state.IconsShown);
    EXPECT_EQ(state.DrawnIconCount, 0);
    EXPECT_TRUE(display.calls.empty());
    EXPECT_FALSE(state.SaverConfirmed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "kill 3", "finish"}));
}

TEST_F(DisplayTest, ShowIconDrawsOnTheScreenAtItsPitchAndSharesTheTable) {
    Ex("C:\\i\\a.ico");
    std::string a = "C:\\i\\a.ico", b = "C:\\i\\b.ico", c = "C:\\i\\c.ico";
    ShowIcon(state, host, display, 1, a);  // already placed: nothing
    ShowIcon(state, host, display, 1, b);
    ShowIcon(state, host, display, 0, c);
    EXPECT_EQ(state.DrawnIconCount, 3);
    EXPECT_EQ(display.calls.back(), "screen 128,295 C:\\i\\c.ico");
    EXPECT_EQ(display.calls[display.calls.size() - 2], "screen 88,295 C:\\i\\b.ico");
    EXPECT_EQ(state.DrawnIcons[2].CarrierDC, 0u);
    EXPECT_EQ(state.DrawnIcons[2].X, 128);
}

TEST_F(DisplayTest, OverlayRepaintsEachCarrierIconWithoutBlinking) {
    state.IconOrientation = 2;
    Ex("C:\\i\\a.ico");
    Ex("C:\\i\\b.ico");
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"draw 220 0,0 C:\\i\\a.ico", "draw 220 0,32 C:\\i\\b.ico"}));
    EXPECT_TRUE(display.lefts.empty());
}

TEST_F(DisplayTest, BlinkingAlternatesAndALaterIconTakesOverThePhase) {
    state.BlinkIcons = true;
    Ex("C:\\i\\a.ico");
    OverlayDraw(state, display);  // first tick after placing: on the screen
    OverlayDraw(state, display);
    OverlayDraw(state, display);
    EXPECT_EQ(display.lefts, (std::vector<double>{720, -20000, 720}));
    Ex("C:\\i\\b.ico");  // placed while the first entry's phase is True
    display.lefts.clear();
    OverlayDraw(state, display);
    OverlayDraw(state, display);
    // Each tick sets Left once per entry; the last entry's phase decides.
    EXPECT_EQ(display.lefts, (std::vector<double>{-20000, 720, 720, -20000}));
}

TEST_F(DisplayTest, EnlargedIconsPaintNothingAndRepaintOnlyWhileBlinking) {
    state.EnlargeIcons = true;
    display.elementPixels = 64;
    Ex("C:\\i\\a.ico");
    EXPECT_EQ(state.DrawnIcons[0].Width, 960);
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_TRUE(display.calls.empty());
    state.BlinkIcons = true;
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls, std::vector<std::string>{"repaint 0"});
}

TEST_F(DisplayTest, NothingIsDrawnBeforeTheFirstIcon) {
    OverlayDraw(state, display);
    EXPECT_TRUE(display.calls.empty());
}

TEST_F(DisplayTest, TextsKeepTheirLinesAndAreDrawnAgainOnEveryTick) {
    ShowText(state, display, "You've got email");
    ShowText(state, display, "C:\\r.txt has been modified");
    ShowText(state, display, "You've got email");  // mail still unread: the same line again
    EXPECT_EQ(display.calls, (std::vector<std::string>{"text 0 You've got email", "text 1 C:\\r.txt has been modified",
                                                       "text 0 You've got email"}));
    display.calls.clear();
    OverlayDraw(state, display);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"text 0 You've got email", "text 1 C:\\r.txt has been modified"}));
}

}  // namespace
