#include "dialog/pointer_drag.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace vl {
namespace {

// Screen x below 100 is outside the page, up to 200 the bare page, beyond
// that the picture at 10 twips a pixel.
class FakeScreen final : public DragScreen {
public:
    DragSpot SpotAt(ScreenPoint p) override {
        if (p.x < 100) return {};
        if (p.x < 200) return {DragTarget::Page, {}};
        return {DragTarget::Picture, {(p.x - 200) * 10.0, p.y * 10.0}};
    }
    ScreenRect PointerRect() override { return pointer; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void ShowCursor(DragImage image) override { cursor = image; }
    // Inverting is its own undo: a rectangle inverted twice is gone.
    void InvertOutline(const ScreenRect& r) override {
        const auto key = std::make_tuple(r.left, r.top, r.right, r.bottom);
        if (!inverted.erase(key)) inverted.insert(key);
        ++inversions;
    }

    ScreenRect pointer{300, 100, 310, 105};
    bool captured = false;
    DragImage cursor = DragImage::PlainOutline;
    std::set<std::tuple<int, int, int, int>> inverted;
    int inversions = 0;
};

// Twips (1450, 1200) on the picture stand for (500, 400) on a 1000 x 800 screen.
constexpr ScreenPoint kMidPicture{345, 120};
constexpr ScreenPoint kPastDropArea{440, 120};  // 2400 twips: beyond the drop area
constexpr ScreenPoint kBarePage{150, 120};
constexpr ScreenPoint kOutside{50, 120};

TEST(PointerDragSession, AnAcceptedDropStoresThePositionAndLeavesTheScreenAsItWas) {
    FakeScreen screen;
    PointerDragSession drag(screen);
    drag.Press(MouseButton::Left, {305, 102});
    EXPECT_TRUE(screen.captured);
    // The outline is the pointer, moved with the mouse from where it was grabbed.
    EXPECT_EQ(screen.inverted.count({300, 100, 310, 105}), 1u);
    drag.Move({315, 112});
    EXPECT_EQ(screen.inverted, (std::set<std::tuple<int, int, int, int>>{{310, 110, 320, 115}}));
    drag.Move({315, 112});  // no movement: no flicker
    EXPECT_EQ(screen.inversions, 3);

    const auto drop = drag.Release(MouseButton::Left, kMidPicture, 1000, 800);
    ASSERT_TRUE(drop.has_value());
    EXPECT_EQ(drop->stored, (NotifyPosition{500, 400}));
    EXPECT_EQ(drop->at, (TwipsPoint{1450, 1200}));
    EXPECT_TRUE(screen.inverted.empty());
    EXPECT_FALSE(screen.captured);
    EXPECT_EQ(screen.cursor, DragImage::PlainOutline);
    EXPECT_FALSE(drag.Dragging());
}

TEST(PointerDragSession, DropsOutsideTheDropAreaOnThePageOrElsewhereStoreNothing) {
    for (const ScreenPoint at : {kPastDropArea, kBarePage, kOutside}) {
        FakeScreen screen;
        PointerDragSession drag(screen);
        drag.Press(MouseButton::Left, {305, 102});
        drag.Move(at);
        EXPECT_EQ(drag.Release(MouseButton::Left, at, 1000, 800), std::nullopt) << at.x;
        EXPECT_TRUE(screen.inverted.empty()) << at.x;
        EXPECT_FALSE(screen.captured) << at.x;
        EXPECT_EQ(screen.cursor, DragImage::PlainOutline) << at.x;
    }
}

TEST(PointerDragSession, TheNoEntrySignReplacesTheOutlineUntilTheDropAreaIsBack) {
    FakeScreen screen;
    PointerDragSession drag(screen);
    drag.Press(MouseButton::Left, {305, 102});
    drag.Move(kPastDropArea);
    EXPECT_EQ(screen.cursor, DragImage::NoEntry);
    EXPECT_TRUE(screen.inverted.empty());
    drag.Move({kPastDropArea.x + 5, kPastDropArea.y});
    EXPECT_TRUE(screen.inverted.empty());
    drag.Move(kMidPicture);
    EXPECT_EQ(screen.cursor, DragImage::PlainOutline);
    EXPECT_EQ(screen.inverted.size(), 1u);
    // The bare page shows the sign too, and a release there drops nothing.
    drag.Move(kBarePage);
    EXPECT_EQ(screen.cursor, DragImage::NoEntry);
    EXPECT_TRUE(screen.inverted.empty());
}

TEST(PointerDragSession, OnlyTheButtonThatStartedTheDragEndsIt) {
    FakeScreen screen;
    PointerDragSession drag(screen);
    drag.Press(MouseButton::Right, {305, 102});
    drag.Press(MouseButton::Left, {400, 150});  // a second button changes nothing
    EXPECT_EQ(drag.Release(MouseButton::Left, kMidPicture, 1000, 800), std::nullopt);
    EXPECT_TRUE(drag.Dragging());
    EXPECT_TRUE(screen.captured);
    drag.Move({315, 102});
    EXPECT_EQ(screen.inverted.count({310, 100, 320, 105}), 1u);  // still grabbed at the first press
    EXPECT_TRUE(drag.Release(MouseButton::Right, kMidPicture, 1000, 800).has_value());
}

TEST(PointerDragSession, ALostCaptureOrAGonePageEndsTheDragWithoutADrop) {
    FakeScreen screen;
    PointerDragSession drag(screen);
    drag.Press(MouseButton::Left, {305, 102});
    drag.Move(kMidPicture);
    drag.CaptureLost();
    EXPECT_TRUE(screen.inverted.empty());
    EXPECT_FALSE(drag.Dragging());
    EXPECT_EQ(drag.Release(MouseButton::Left, kMidPicture, 1000, 800), std::nullopt);
    drag.Move(kMidPicture);
    EXPECT_TRUE(screen.inverted.empty());

    drag.Press(MouseButton::Left, {305, 102});
    drag.Abandon();
    EXPECT_TRUE(screen.inverted.empty());
    EXPECT_FALSE(drag.Dragging());
}

}  // namespace
}  // namespace vl
