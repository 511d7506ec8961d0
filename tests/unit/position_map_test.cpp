#include "dialog/position_map.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vl;

namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr PointerSize kSizes[] = {kPointerAtLoad, kPointerEnlarged, kPointerNormal};

// The pointer's centre, twips from PicScreen's top-left corner.
TwipsPoint CentreOnPicture(TwipsPoint topLeft, PointerSize size) {
    return {topLeft.x + size.width / 2 - kPicScreenLeft, topLeft.y + size.height / 2 - kPicScreenTop};
}

TEST(PointerPlacement, ScalesEachAxisKeepsFractionsAndStaysWithinReach) {
    const double far = kFarthestPointerTwips;
    const std::tuple<NotifyPosition, int, int, PointerSize, double, double> cases[] = {
        {{0, 0}, 1024, 768, kPointerAtLoad, 945 + 450 - 100, 225 + 400 - 50},
        {{0, 0}, 1024, 768, kPointerEnlarged, 945 + 450 - 150, 225 + 400 - 100},
        // 500 of 1000 pixels is half of 2000 twips; 200 of 800 a quarter of 1600.
        {{500, 200}, 1000, 800, kPointerAtLoad, 1395 + 1000 - 100, 625 + 400 - 50},
        {{100, 100}, 1024, 768, kPointerAtLoad, 1295 + 100 * 2000 / 1024.0, 575 + 100 * 1600 / 768.0},
        {{-512, -384}, 1024, 768, kPointerAtLoad, 1395 - 1000 - 100, 625 - 800 - 50},
        // The products do not fit in 32 bits; wrapped, the pointer would jump left and up.
        {{1100000, 1400000}, 100000, 100000, kPointerAtLoad, 1395 + 22000 - 100, 625 + 22400 - 50},
        {{kMax32, kMax32}, 1024, 768, kPointerAtLoad, far, far},
        {{kMin32, kMin32}, 1024, 768, kPointerAtLoad, -far, -far},
        {{300, 300}, 0, -5, kPointerAtLoad, 1395 - 100, 625 - 50},  // no screen size: the origin
    };
    for (const auto& [stored, w, h, size, x, y] : cases) {
        const TwipsPoint at = PlacePointer(stored, w, h, size);
        EXPECT_DOUBLE_EQ(at.x, x) << stored.x << "," << stored.y;
        EXPECT_DOUBLE_EQ(at.y, y) << stored.x << "," << stored.y;
    }
}

TEST(MappingBothWays, DroppingOnThePlacedPointerGivesBackTheStoredPosition) {
    const int screens[][2] = {{1024, 768}, {1000, 800}, {1280, 1024}, {800, 600}, {1920, 1080}, {1032, 776}};
    int checked = 0;
    for (const auto& s : screens) {
        for (std::int32_t x = kLowestPosition; x <= s[0] - kRightMargin; x += 7) {
            for (std::int32_t y = kLowestPosition; y <= s[1] - kBottomMargin; y += 11) {
                for (PointerSize size : kSizes) {
                    const TwipsPoint c = CentreOnPicture(PlacePointer({x, y}, s[0], s[1], size), size);
                    // Near the right and bottom limits the centre lies past the drop area.
                    if (!InDropArea(c.x, c.y)) continue;
                    ++checked;
                    ASSERT_EQ(PositionForDrop(c.x, c.y, s[0], s[1]), (NotifyPosition{x, y}))
                        << s[0] << "x" << s[1] << " at " << c.x << "," << c.y;
                }
            }
        }
    }
    EXPECT_GT(checked, 50000);
    // 1000 wide: 925 is the last x a drop can store, the limit is 950.
    const TwipsPoint past = CentreOnPicture(PlacePointer({950, 760}, 1000, 800, kPointerAtLoad), kPointerAtLoad);
    EXPECT_EQ(past, (TwipsPoint{2350, 1920}));
    EXPECT_FALSE(InDropArea(past.x, past.y));
    for (PointerSize size : kSizes)  // and a pointer centred on a drop is centred there
        EXPECT_EQ(CentreOnPicture(CentreOnDrop(1234.5, 987, size), size), (TwipsPoint{1234.5, 987}));
}

TEST(DropArea, EdgesAreInsideAndAnythingPastThemOutside) {
    const std::tuple<double, double, bool> cases[] = {
        {450, 400, true},       {2300, 400, true},       {450, 1800, true},
        {2300, 1800, true},     {449.99f, 1000, false},  {2300.01f, 1000, false},
        {1000, 399.99f, false}, {1000, 1800.01f, false}, {2310, 1815, false},  // the next pixel at 15 twips per pixel
        {2400, 1000, false},                                                   // still on the glass
        {1000, 1950, false},    {100, 100, false},                             // the monitor's frame
    };
    for (const auto& [x, y, inside] : cases) EXPECT_EQ(InDropArea(x, y), inside) << x << "," << y;
}

TEST(DropMapping, ScalesRoundsAndClampsEachAxis) {
    const std::tuple<double, double, int, int, NotifyPosition> cases[] = {
        {1450, 1200, 1000, 800, {500, 400}}, {2300, 1800, 1000, 800, {925, 700}},
        {885, 1000, 1024, 768, {223, 288}},  // (885 - 450) x 1024 / 2000 = 222.72
        {491, 461, 1000, 800, {20, 30}},     // 20.5, 30.5: the even pixel
        {493, 463, 1000, 800, {22, 32}},     // 21.5, 31.5
        {450, 400, 1000, 800, {20, 20}},     // the corner is raised to 20, each axis on its own
        {450, 405, 1024, 768, {20, 20}},     {470, 1200, 1000, 800, {20, 400}},
        {1450, 420, 1000, 800, {500, 20}},   {2300, 1000, 640, 480, {590, 180}},  // 592 is past 640 - 50
        {2300, 1000, 700, 480, {648, 180}},                                 // wide enough: the drop area ends first
        {1000, 1800, 1024, 240, {282, 200}},                                // 210 is past 240 - 40
        {1000, 1800, 1024, 320, {282, 280}}, {450, 400, 60, 50, {10, 10}},  // tiny screen: the upper limit wins
        {2300, 1800, 60, 50, {10, 10}},
    };
    for (const auto& [x, y, w, h, want] : cases)
        EXPECT_EQ(PositionForDrop(x, y, w, h), want) << x << "," << y << " on " << w << "x" << h;
}

TEST(PointerDragging, LeavingTheDropAreaShowsTheNoEntryImageOnce) {
    PointerDrag drag;
    EXPECT_EQ(drag.Begin(), DragImage::PlainOutline);
    EXPECT_EQ(drag.DropOnPicture(1450, 1200, 1000, 800), (NotifyPosition{500, 400}));
    EXPECT_EQ(drag.OverPicture(2301, 1000), DragImage::NoEntry);
    EXPECT_EQ(drag.OverPicture(100, 100), std::nullopt);
    EXPECT_EQ(drag.DropOnPicture(2400, 1000, 1000, 800), std::nullopt);
    EXPECT_EQ(drag.OverPicture(2300, 1800), DragImage::PlainOutline);
    EXPECT_EQ(drag.OverPicture(2000, 1500), std::nullopt);
    EXPECT_EQ(drag.DropOnPicture(2300, 1000, 1000, 800), (NotifyPosition{925, 300}));
}

TEST(PointerDragging, ThePageShowsNoEntryButLeavesTheFlagsAndReleaseEndsTheDrag) {
    PointerDrag drag;
    drag.Begin();
    EXPECT_EQ(PointerDrag::OverPage(), DragImage::NoEntry);
    // Straight back into the drop area: the image is believed plain already,
    // so nothing switches it back.
    EXPECT_EQ(drag.OverPicture(1000, 1000), std::nullopt);
    drag.OverPicture(100, 100);
    drag.End();
    EXPECT_EQ(drag.DropOnPicture(1000, 1000, 1000, 800), std::nullopt);
    EXPECT_EQ(drag.Begin(), DragImage::PlainOutline);
    EXPECT_TRUE(drag.DropOnPicture(1000, 1000, 1000, 800).has_value());
}

}  // namespace

// With several monitors the glass takes the chosen one's shape; a drop on it
// stores the same position as the same spot of the whole glass would.
TEST(MonitorGlass, TheGlassFitsTheMonitorsShapeAndMapsOntoTheWholeGlassBothWays) {
    EXPECT_EQ(GlassFor(1280, 1024), kWholeGlass);  // 5:4, the miniature's own shape
    EXPECT_EQ(GlassFor(1920, 1080), (GlassRect{450, 400 + (1600 - 1125) / 2.0, 2000, 1125}));  // wide: bars above and below
    EXPECT_EQ(GlassFor(1080, 1920), (GlassRect{450 + (2000 - 900) / 2.0, 400, 900, 1600}));  // on its side
    EXPECT_EQ(GlassFor(0, 1080), kWholeGlass);

    const GlassRect tall = GlassFor(1080, 1920);
    const TwipsPoint corner = ToWholeGlass({tall.left, tall.top}, tall);
    EXPECT_EQ(corner, (TwipsPoint{kMiniatureLeft, kMiniatureTop}));
    EXPECT_EQ(PositionForDrop(corner.x, corner.y, 1080, 1920), (NotifyPosition{20, 20}));
    // The middle of the tall glass is the middle of the monitor.
    const TwipsPoint middle = ToWholeGlass({tall.left + tall.width / 2, tall.top + tall.height / 2}, tall);
    EXPECT_EQ(PositionForDrop(middle.x, middle.y, 1080, 1920), (NotifyPosition{540, 960}));
    // Beside the tall glass (on a bar) is outside the drop area.
    const TwipsPoint bar = ToWholeGlass({tall.left - 10, tall.top + 100}, tall);
    EXPECT_FALSE(InDropArea(bar.x, bar.y));
    // And back: a stored position's pointer lands on the shaped glass.
    for (const TwipsPoint p : {TwipsPoint{450, 400}, TwipsPoint{1450, 1200}, TwipsPoint{2300, 1800}})
        for (const GlassRect& g : {tall, GlassFor(1920, 1080), kWholeGlass}) {
            const TwipsPoint there = ToWholeGlass(FromWholeGlass(p, g), g);
            EXPECT_NEAR(there.x, p.x, 1e-9);
            EXPECT_NEAR(there.y, p.y, 1e-9);
        }
}
