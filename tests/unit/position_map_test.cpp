#include "dialog/position_map.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vl;

namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// The pointer's centre, twips from PicScreen's top-left corner.
TwipsPoint CentreOnPicture(TwipsPoint topLeft, PointerSize size) {
    return {topLeft.x + size.width / 2 - kPicScreenLeft, topLeft.y + size.height / 2 - kPicScreenTop};
}

// ----- placing the pointer from the stored position -------------------------

TEST(PointerPlacement, StoredOriginPutsTheCentreOnTheMiniatureOrigin) {
    const TwipsPoint at = PlacePointer({0, 0}, 1024, 768, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 945 + 450 - 100);
    EXPECT_DOUBLE_EQ(at.y, 225 + 400 - 50);
}

TEST(PointerPlacement, ScalesEachAxisByItsOwnScreenSize) {
    // 500 of 1000 pixels is half of 2000 twips; 200 of 800 is a quarter of 1600.
    const TwipsPoint at = PlacePointer({500, 200}, 1000, 800, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 945 + 450 + 1000 - 100);
    EXPECT_DOUBLE_EQ(at.y, 225 + 400 + 400 - 50);
}

TEST(PointerPlacement, KeepsTheFractionOfATwip) {
    const TwipsPoint at = PlacePointer({100, 100}, 1024, 768, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 1295 + 100 * 2000 / 1024.0);
    EXPECT_DOUBLE_EQ(at.y, 575 + 100 * 1600 / 768.0);
}

TEST(PointerPlacement, UsesThePointerSizeInForce) {
    const TwipsPoint enlarged = PlacePointer({0, 0}, 1024, 768, kPointerEnlarged);
    EXPECT_DOUBLE_EQ(enlarged.x, 945 + 450 - 150);
    EXPECT_DOUBLE_EQ(enlarged.y, 225 + 400 - 100);
}

TEST(PointerPlacement, ProductsBeyond32BitsGiveTheSoundPosition) {
    // 1,100,000 x 2000 and 1,400,000 x 1600 do not fit in 32 bits; wrapped,
    // they would put the pointer far to the left and above.
    const TwipsPoint at = PlacePointer({1100000, 1400000}, 100000, 100000, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 1395 + 22000 - 100);
    EXPECT_DOUBLE_EQ(at.y, 625 + 22400 - 50);
}

TEST(PointerPlacement, ExtremeStoredValuesStayWithinReach) {
    const TwipsPoint high = PlacePointer({kMax32, kMax32}, 1024, 768, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(high.x, kFarthestPointerTwips);
    EXPECT_DOUBLE_EQ(high.y, kFarthestPointerTwips);
    const TwipsPoint low = PlacePointer({kMin32, kMin32}, 1024, 768, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(low.x, -kFarthestPointerTwips);
    EXPECT_DOUBLE_EQ(low.y, -kFarthestPointerTwips);
}

TEST(PointerPlacement, NegativeStoredValuesLieLeftOfAndAboveTheMiniature) {
    const TwipsPoint at = PlacePointer({-512, -384}, 1024, 768, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 1395 - 1000 - 100);
    EXPECT_DOUBLE_EQ(at.y, 625 - 800 - 50);
}

TEST(PointerPlacement, NoScreenSizeLeavesThePointerAtTheOrigin) {
    const TwipsPoint at = PlacePointer({300, 300}, 0, -5, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(at.x, 1395 - 100);
    EXPECT_DOUBLE_EQ(at.y, 625 - 50);
}

// ----- both ways: a drop on the pointer's centre stores what placed it -------

TEST(MappingBothWays, DroppingOnThePlacedPointerGivesBackTheStoredPosition) {
    const int screens[][2] = {{1024, 768}, {1000, 800}, {1280, 1024}, {800, 600}, {1920, 1080}, {1032, 776}};
    int checked = 0;
    for (const auto& s : screens) {
        for (std::int32_t x = kLowestPosition; x <= s[0] - kRightMargin; x += 7) {
            for (std::int32_t y = kLowestPosition; y <= s[1] - kBottomMargin; y += 11) {
                for (PointerSize size : {kPointerAtLoad, kPointerEnlarged, kPointerNormal}) {
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
}

TEST(MappingBothWays, PositionsPastTheDropAreaCannotBeDroppedButStillPlace) {
    // 1000 wide: 925 is the last x a drop can store, the limit is 950.
    const TwipsPoint c = CentreOnPicture(PlacePointer({950, 760}, 1000, 800, kPointerAtLoad), kPointerAtLoad);
    EXPECT_DOUBLE_EQ(c.x, 2350);
    EXPECT_DOUBLE_EQ(c.y, 1920);
    EXPECT_FALSE(InDropArea(c.x, c.y));
}

TEST(MappingBothWays, APointerCentredOnADropIsCentredThere) {
    for (PointerSize size : {kPointerAtLoad, kPointerEnlarged, kPointerNormal}) {
        const TwipsPoint c = CentreOnPicture(CentreOnDrop(1234.5, 987, size), size);
        EXPECT_DOUBLE_EQ(c.x, 1234.5);
        EXPECT_DOUBLE_EQ(c.y, 987);
    }
    const TwipsPoint corner = CentreOnDrop(450, 400, kPointerAtLoad);
    EXPECT_DOUBLE_EQ(corner.x, 945 + 450 - 100);
    EXPECT_DOUBLE_EQ(corner.y, 225 + 400 - 50);
}

// ----- the drop area, edges included -----------------------------------------

TEST(DropArea, CornersAreInside) {
    EXPECT_TRUE(InDropArea(450, 400));
    EXPECT_TRUE(InDropArea(2300, 400));
    EXPECT_TRUE(InDropArea(450, 1800));
    EXPECT_TRUE(InDropArea(2300, 1800));
}

TEST(DropArea, AnythingPastAnEdgeIsOutside) {
    EXPECT_FALSE(InDropArea(449.99f, 1000));
    EXPECT_FALSE(InDropArea(2300.01f, 1000));
    EXPECT_FALSE(InDropArea(1000, 399.99f));
    EXPECT_FALSE(InDropArea(1000, 1800.01f));
    EXPECT_FALSE(InDropArea(2310, 1815));  // the next pixel at 15 twips per pixel
}

TEST(DropArea, StopsShortOfTheMiniaturesRightAndBottomEdges) {
    EXPECT_FALSE(InDropArea(2400, 1000));  // still on the glass
    EXPECT_FALSE(InDropArea(1000, 1950));
    EXPECT_FALSE(InDropArea(100, 100));    // the monitor's frame
}

// ----- rounding half to even ---------------------------------------------------

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

TEST(Rounding, EverythingElseToTheNearest) {
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
    EXPECT_EQ(RoundHalfEven(7), 7);
}

TEST(Rounding, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(RoundHalfEven(1e12), kMax32);
    EXPECT_EQ(RoundHalfEven(-1e12), kMin32);
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(Rounding, DropsOnAHalfStoreTheEvenPixel) {
    // 1000 x 800: every 2 twips on the miniature are one pixel.
    EXPECT_EQ(PositionForDrop(491, 461, 1000, 800), (NotifyPosition{20, 30}));  // 20.5, 30.5
    EXPECT_EQ(PositionForDrop(493, 463, 1000, 800), (NotifyPosition{22, 32}));  // 21.5, 31.5
}

// ----- the drop mapping and its clamps -----------------------------------------

TEST(DropMapping, ScalesTheMiniatureToTheScreen) {
    EXPECT_EQ(PositionForDrop(1450, 1200, 1000, 800), (NotifyPosition{500, 400}));
    EXPECT_EQ(PositionForDrop(2300, 1800, 1000, 800), (NotifyPosition{925, 700}));
    // 1024 x 768 at 15 twips per pixel: (885 - 450) x 1024 / 2000 = 222.72.
    EXPECT_EQ(PositionForDrop(885, 1000, 1024, 768), (NotifyPosition{223, 288}));
}

TEST(DropMapping, TheMiniaturesCornerStoresTwentyOnEachAxis) {
    EXPECT_EQ(PositionForDrop(450, 400, 1000, 800), (NotifyPosition{20, 20}));
    EXPECT_EQ(PositionForDrop(450, 405, 1024, 768), (NotifyPosition{20, 20}));
}

TEST(DropMapping, EachAxisIsRaisedOnItsOwn) {
    EXPECT_EQ(PositionForDrop(470, 1200, 1000, 800), (NotifyPosition{20, 400}));  // 10 -> 20
    EXPECT_EQ(PositionForDrop(1450, 420, 1000, 800), (NotifyPosition{500, 20}));
    EXPECT_EQ(PositionForDrop(490, 440, 1000, 800), (NotifyPosition{20, 20}));    // exactly 20 stays
}

TEST(DropMapping, NarrowScreensMeetTheRightLimit) {
    // 1850 / 2000 of 640 is 592, past 640 - 50.
    EXPECT_EQ(PositionForDrop(2300, 1000, 640, 480), (NotifyPosition{590, 180}));
    // 667 pixels and wider: the drop area ends before the limit.
    EXPECT_EQ(PositionForDrop(2300, 1000, 700, 480), (NotifyPosition{648, 180}));
}

TEST(DropMapping, LowScreensMeetTheBottomLimit) {
    // 1400 / 1600 of 240 is 210, past 240 - 40.
    EXPECT_EQ(PositionForDrop(1000, 1800, 1024, 240), (NotifyPosition{282, 200}));
    EXPECT_EQ(PositionForDrop(1000, 1800, 1024, 320), (NotifyPosition{282, 280}));
}

TEST(DropMapping, OnATinyScreenTheUpperLimitWinsOverTheLowerOne) {
    // 60 x 50: the lower limit 20 lies above 60 - 50 and 50 - 40.
    EXPECT_EQ(PositionForDrop(450, 400, 60, 50), (NotifyPosition{10, 10}));
    EXPECT_EQ(PositionForDrop(2300, 1800, 60, 50), (NotifyPosition{10, 10}));
}

// ----- the drag and its image ------------------------------------------------------

TEST(PointerDragging, APressStartsWithThePlainOutlineAndAcceptsADrop) {
    PointerDrag drag;
    drag.PointerInDropArea = false;
    drag.PlainDragImage = false;
    EXPECT_EQ(drag.Begin(), DragImage::PlainOutline);
    EXPECT_TRUE(drag.PointerInDropArea);
    EXPECT_TRUE(drag.PlainDragImage);
    EXPECT_EQ(drag.DropOnPicture(1450, 1200, 1000, 800), (NotifyPosition{500, 400}));
}

TEST(PointerDragging, LeavingTheDropAreaShowsTheNoEntryImageOnce) {
    PointerDrag drag;
    drag.Begin();
    EXPECT_EQ(drag.OverPicture(2301, 1000), DragImage::NoEntry);
    EXPECT_FALSE(drag.PointerInDropArea);
    EXPECT_FALSE(drag.PlainDragImage);
    EXPECT_EQ(drag.OverPicture(100, 100), std::nullopt);
    EXPECT_EQ(drag.OverPicture(2300, 1800), DragImage::PlainOutline);
    EXPECT_TRUE(drag.PointerInDropArea);
    EXPECT_EQ(drag.OverPicture(2000, 1500), std::nullopt);
}

TEST(PointerDragging, ADropCountsOnlyAfterAMoveInsideTheDropArea) {
    PointerDrag drag;
    drag.Begin();
    drag.OverPicture(2400, 1000);
    EXPECT_EQ(drag.DropOnPicture(2400, 1000, 1000, 800), std::nullopt);
    drag.OverPicture(2300, 1000);
    EXPECT_EQ(drag.DropOnPicture(2300, 1000, 1000, 800), (NotifyPosition{925, 300}));
}

TEST(PointerDragging, ThePageShowsNoEntryButLeavesTheFlags) {
    PointerDrag drag;
    drag.Begin();
    EXPECT_EQ(PointerDrag::OverPage(), DragImage::NoEntry);
    // Straight back into the drop area: the image is believed plain already,
    // so nothing switches it back.
    EXPECT_EQ(drag.OverPicture(1000, 1000), std::nullopt);
    EXPECT_TRUE(drag.PlainDragImage);
}

TEST(PointerDragging, ReleaseEndsTheDragAndTheNextPressStartsAfresh) {
    PointerDrag drag;
    drag.Begin();
    drag.OverPicture(100, 100);
    drag.End();
    EXPECT_FALSE(drag.PointerInDropArea);
    EXPECT_FALSE(drag.PlainDragImage);
    EXPECT_EQ(drag.DropOnPicture(1000, 1000, 1000, 800), std::nullopt);
    EXPECT_EQ(drag.Begin(), DragImage::PlainOutline);
    EXPECT_TRUE(drag.DropOnPicture(1000, 1000, 1000, 800).has_value());
}

// ----- pointer sizes --------------------------------------------------------------

TEST(PointerSizes, EnlargedIsThreeByTwoHundredTwipsAndNormalOneFiftyByOneHundred) {
    EXPECT_EQ(PointerSizeForEnlarge(true), (PointerSize{300, 200}));
    EXPECT_EQ(PointerSizeForEnlarge(false), (PointerSize{150, 100}));
    EXPECT_EQ(kPointerAtLoad, (PointerSize{200, 100}));
}

}  // namespace
