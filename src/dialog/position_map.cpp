#include "dialog/position_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/text.h"

namespace vl {
namespace {

// Where the centre of the pointer goes along one axis, twips from the
// miniature's origin. The product is formed in 64 bits: a stored value too
// large for a 32-bit product (only a hand-edited file has one) still gives
// the sound result instead of an overflow.
double MiniatureOffset(std::int32_t stored, double extent, int screenPixels) {
    if (screenPixels <= 0) return 0;  // no screen size to scale by: the origin
    const auto product = static_cast<std::int64_t>(stored) * static_cast<std::int64_t>(extent);
    return static_cast<double>(product) / screenPixels;
}

double KeepNear(double twips) { return std::clamp(twips, -kFarthestPointerTwips, kFarthestPointerTwips); }

std::int32_t Clamp(std::int64_t value, std::int64_t highest) {
    if (value < kLowestPosition) value = kLowestPosition;
    if (value > highest) value = highest;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

PointerSize PointerSizeForEnlarge(bool checked) { return checked ? kPointerEnlarged : kPointerNormal; }

TwipsPoint PlacePointer(NotifyPosition stored, int screenWidth, int screenHeight, PointerSize pointer) {
    const double x =
        kPicScreenLeft + kMiniatureLeft + MiniatureOffset(stored.x, kMiniatureWidth, screenWidth) - pointer.width / 2;
    const double y =
        kPicScreenTop + kMiniatureTop + MiniatureOffset(stored.y, kMiniatureHeight, screenHeight) - pointer.height / 2;
    return {KeepNear(x), KeepNear(y)};
}

bool InDropArea(double x, double y) {
    return kMiniatureLeft <= x && x <= kDropAreaRight && kMiniatureTop <= y && y <= kDropAreaBottom;
}

NotifyPosition PositionForDrop(double x, double y, int screenWidth, int screenHeight) {
    const std::int32_t scaledX = RoundHalfEvenInt32((x - kMiniatureLeft) * screenWidth / kMiniatureWidth);
    const std::int32_t scaledY = RoundHalfEvenInt32((y - kMiniatureTop) * screenHeight / kMiniatureHeight);
    return {Clamp(scaledX, static_cast<std::int64_t>(screenWidth) - kRightMargin),
            Clamp(scaledY, static_cast<std::int64_t>(screenHeight) - kBottomMargin)};
}

GlassRect GlassFor(int monitorWidth, int monitorHeight) {
    if (monitorWidth <= 0 || monitorHeight <= 0) return kWholeGlass;
    const double aspect = static_cast<double>(monitorWidth) / monitorHeight;
    if (aspect >= kMiniatureWidth / kMiniatureHeight) {
        const double height = kMiniatureWidth / aspect;
        return {kMiniatureLeft, kMiniatureTop + (kMiniatureHeight - height) / 2, kMiniatureWidth, height};
    }
    const double width = kMiniatureHeight * aspect;
    return {kMiniatureLeft + (kMiniatureWidth - width) / 2, kMiniatureTop, width, kMiniatureHeight};
}

TwipsPoint ToWholeGlass(TwipsPoint p, const GlassRect& g) {
    if (g.width <= 0 || g.height <= 0) return p;
    return {kMiniatureLeft + (p.x - g.left) * kMiniatureWidth / g.width,
            kMiniatureTop + (p.y - g.top) * kMiniatureHeight / g.height};
}

TwipsPoint FromWholeGlass(TwipsPoint p, const GlassRect& g) {
    return {g.left + (p.x - kMiniatureLeft) * g.width / kMiniatureWidth,
            g.top + (p.y - kMiniatureTop) * g.height / kMiniatureHeight};
}

TwipsPoint CentreOnDrop(double x, double y, PointerSize pointer) {
    return {kPicScreenLeft + x - pointer.width / 2, kPicScreenTop + y - pointer.height / 2};
}

DragImage PointerDrag::Begin() {
    PointerInDropArea = true;
    PlainDragImage = true;
    return DragImage::PlainOutline;
}

std::optional<DragImage> PointerDrag::OverPicture(double x, double y) {
    PointerInDropArea = InDropArea(x, y);
    if (!PointerInDropArea && PlainDragImage) {
        PlainDragImage = false;
        return DragImage::NoEntry;
    }
    if (PointerInDropArea && !PlainDragImage) {
        PlainDragImage = true;
        return DragImage::PlainOutline;
    }
    return std::nullopt;
}

std::optional<NotifyPosition> PointerDrag::DropOnPicture(double x, double y, int screenWidth, int screenHeight) const {
    if (!PointerInDropArea) return std::nullopt;
    return PositionForDrop(x, y, screenWidth, screenHeight);
}

void PointerDrag::End() {
    PointerInDropArea = false;
    PlainDragImage = false;
}

}  // namespace vl
