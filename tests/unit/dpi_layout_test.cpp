#include "dialog/twips_layout.h"

#include <gtest/gtest.h>

#include "platform/dpi.h"

using namespace vl;

namespace {

struct Px {
    int left, top, width, height;
    bool operator==(const Px&) const = default;
};

Px At(const TwipsRect& r, int dpi) {
    const TwipsScale t = TwipsScale::FromDpi(dpi, dpi);
    return {t.PxX(r.left), t.PxY(r.top), t.PxX(r.width), t.PxY(r.height)};
}

}  // namespace

// A dialog moved between monitors of different scales is laid out from its
// twips each time, so it comes back to exactly the pixels it started with.
TEST(TwipsLayout, ControlsArePlacedFromTheirLatestTwipsAtAnyDpiWithoutDrift) {
    TwipsLayout layout;
    layout.Place(1, {540, 3105, 3615, 510}, 7);
    layout.Place(2, {945, 225, 2925, 2700});
    layout.Place(1, {675, 4320, 1500, 255});  // moved later: the new place counts, the font stays
    ASSERT_EQ(layout.Entries().size(), 2u);
    EXPECT_EQ(layout.Entries()[0].font, 7u);
    const TwipsRect moved = layout.Entries()[0].at;
    EXPECT_EQ(At(moved, 96), (Px{45, 288, 100, 17}));
    EXPECT_EQ(At(moved, 144), (Px{68, 432, 150, 26}));
    EXPECT_EQ(At(moved, 192), (Px{90, 576, 200, 34}));

    layout.ReplaceFont(7, 9);
    EXPECT_EQ(layout.Entries()[0].font, 9u);
    EXPECT_EQ(layout.Entries()[1].font, 0u);  // had none, gets none
    layout.ForgetIf([](std::uintptr_t control) { return control == 1; });
    ASSERT_EQ(layout.Entries().size(), 1u);
    EXPECT_EQ(layout.Entries()[0].control, 2u);
}

// Icons, frames and fonts scale with a window's DPI, rounded to the nearest pixel.
TEST(Dpi, SizesScaleWithTheDpiRoundedToTheNearestPixel) {
    EXPECT_EQ(ScaleToDpi(32, 96), 32);
    EXPECT_EQ(ScaleToDpi(32, 120), 40);
    EXPECT_EQ(ScaleToDpi(32, 144), 48);
    EXPECT_EQ(ScaleToDpi(17, 120), 21);  // 21.25
    EXPECT_EQ(ScaleToDpi(-3, 144), -5);  // -4.5: away from zero, as MulDiv
    EXPECT_EQ(ScaleToDpi(32, 0), 32);
    EXPECT_EQ(FontHeightForDpi(8, 96), -11);  // 10.67
    EXPECT_EQ(FontHeightForDpi(8, 144), -16);
    EXPECT_EQ(FontHeightForDpi(8, 192), -21);  // 21.33
}
