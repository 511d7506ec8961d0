// The miniature of the screen on the "Position" page: where the pointer sits
// for a stored notification position, which drops are accepted, what a drop
// stores, and how the drag image changes while the pointer is dragged.
// Page geometry is twips; stored positions are screen pixels.
#pragma once

#include <cstdint>
#include <optional>

namespace vl {

// PicScreen on the page, and the monitor's glass inside it (twips from
// PicScreen's top-left corner). The glass stands for the whole screen,
// whatever its aspect ratio.
inline constexpr double kPicScreenLeft = 945;
inline constexpr double kPicScreenTop = 225;
inline constexpr double kPicScreenWidth = 2925;
inline constexpr double kPicScreenHeight = 2700;
inline constexpr double kMiniatureLeft = 450;
inline constexpr double kMiniatureTop = 400;
inline constexpr double kMiniatureWidth = 2000;
inline constexpr double kMiniatureHeight = 1600;

// Drops are taken a little short of the glass's right and bottom edges, so
// that an icon placed there still fits on the screen.
inline constexpr double kDropAreaRight = 2300;
inline constexpr double kDropAreaBottom = 1800;

inline constexpr std::int32_t kLowestPosition = 20;  // pixels, both axes
inline constexpr std::int32_t kRightMargin = 50;     // highest x = ScreenWidth - 50
inline constexpr std::int32_t kBottomMargin = 40;    // highest y = ScreenHeight - 40

struct PointerSize {
    double width = 0, height = 0;  // twips
    bool operator==(const PointerSize&) const = default;
};
inline constexpr PointerSize kPointerAtLoad{200, 100};
inline constexpr PointerSize kPointerEnlarged{300, 200};
inline constexpr PointerSize kPointerNormal{150, 100};

// The pointer after "Enlarged Icons" became checked or unchecked.
PointerSize PointerSizeForEnlarge(bool checked);

struct TwipsPoint {
    double x = 0, y = 0;
    bool operator==(const TwipsPoint&) const = default;
};

struct NotifyPosition {
    std::int32_t x = 0, y = 0;  // screen pixels
    bool operator==(const NotifyPosition&) const = default;
};

// A hand-edited position can put the pointer anywhere; it is kept within
// this distance of the page so that the pixel arithmetic after it stays sound.
inline constexpr double kFarthestPointerTwips = 100000;

// Top-left corner of the pointer (twips on the page) whose centre stands for
// the stored position. ScreenWidth and ScreenHeight are pixels.
TwipsPoint PlacePointer(NotifyPosition stored, int screenWidth, int screenHeight, PointerSize pointer);

// X, Y: twips from PicScreen's top-left corner. Edges included.
bool InDropArea(double x, double y);

// What a drop at X, Y (twips on PicScreen) stores: scaled to the screen,
// rounded half to even, raised to 20, then lowered to ScreenWidth - 50 and
// ScreenHeight - 40 (on a tiny screen the upper limit wins).
NotifyPosition PositionForDrop(double x, double y, int screenWidth, int screenHeight);

// Top-left corner of the pointer (twips on the page) centred on a drop at X, Y on PicScreen.
TwipsPoint CentreOnDrop(double x, double y, PointerSize pointer);

// The glass as drawn for one monitor among several: the miniature fitted to
// that monitor's shape and centred. The rules above work on the whole glass;
// a point on a shaped glass is carried over to it and back, so that every
// part of the shaped glass stands for the same part of the monitor. (With
// one monitor the whole glass stands for the screen, whatever its shape.)
struct GlassRect {
    double left = 0, top = 0, width = 0, height = 0;  // twips from PicScreen's top-left corner
    bool operator==(const GlassRect&) const = default;
};
inline constexpr GlassRect kWholeGlass{kMiniatureLeft, kMiniatureTop, kMiniatureWidth, kMiniatureHeight};
GlassRect GlassFor(int monitorWidth, int monitorHeight);
TwipsPoint ToWholeGlass(TwipsPoint onPicture, const GlassRect& glass);
TwipsPoint FromWholeGlass(TwipsPoint onPicture, const GlassRect& glass);

// What follows the mouse while the pointer is dragged.
enum class DragImage { PlainOutline, NoEntry };

// The two flags the drag keeps. Only the pointer can be dragged on the page,
// so every handler here has the pointer as its source.
struct PointerDrag {
    bool PointerInDropArea = false;  // the last movement over PicScreen was inside the drop area
    bool PlainDragImage = false;     // the drag image is the plain outline

    // Mouse press on the pointer: a fresh drag shows the outline and accepts a drop.
    DragImage Begin();
    // Movement over PicScreen at X, Y: the image to switch to, if it changes.
    std::optional<DragImage> OverPicture(double x, double y);
    // Movement over, or a drop on, the page outside the picture.
    static DragImage OverPage() { return DragImage::NoEntry; }
    // A drop on PicScreen: the position to store, or nothing when refused.
    [[nodiscard]] std::optional<NotifyPosition> DropOnPicture(double x, double y, int screenWidth,
                                                              int screenHeight) const;
    // Mouse release on the pointer.
    void End();
};

}  // namespace vl
