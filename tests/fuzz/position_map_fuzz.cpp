// The Position page's miniature over arbitrary stored positions, screen sizes,
// drops and drag sequences: the pointer stays near the page, a drop stores a
// position inside the screen's margins, dropping the pointer where it stands
// stores the position it stands for, and a drop is taken only inside the area.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

#include "dialog/position_map.h"
#include "fuzz_check.h"

namespace {

constexpr vl::PointerSize kPointers[] = {vl::kPointerAtLoad, vl::kPointerEnlarged, vl::kPointerNormal};

bool Near(const vl::TwipsPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= vl::kFarthestPointerTwips &&
           std::fabs(p.y) <= vl::kFarthestPointerTwips;
}

// Where a drop lands when the pointer's centre is let go where it stands
// (twips from PicScreen's corner).
std::pair<double, double> CentreOnPicture(const vl::TwipsPoint& corner, vl::PointerSize pointer) {
    return {corner.x + pointer.width / 2 - vl::kPicScreenLeft, corner.y + pointer.height / 2 - vl::kPicScreenTop};
}

void CheckAxis(std::int32_t got, int screen, std::int64_t margin) {
    const std::int64_t highest = static_cast<std::int64_t>(screen) - margin;
    if (highest >= vl::kLowestPosition) FUZZ_EXPECT(got >= vl::kLowestPosition && got <= highest);
    if (highest < vl::kLowestPosition) FUZZ_EXPECT(got == std::max<std::int64_t>(highest, INT32_MIN));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegral<int>();
    const int height = in.ConsumeIntegral<int>();
    const vl::NotifyPosition stored{in.ConsumeIntegral<std::int32_t>(), in.ConsumeIntegral<std::int32_t>()};
    const vl::PointerSize pointer = in.PickValueInArray(kPointers);

    const vl::TwipsPoint placed = vl::PlacePointer(stored, width, height, pointer);
    FUZZ_EXPECT(Near(placed));

    // A position inside a real screen's margins survives showing and dropping.
    const bool realScreen = width > 0 && width <= 100000 && height > 0 && height <= 100000;
    if (realScreen && stored.x >= vl::kLowestPosition && stored.x <= width - vl::kRightMargin &&
        stored.y >= vl::kLowestPosition && stored.y <= height - vl::kBottomMargin) {
        const auto [x, y] = CentreOnPicture(placed, pointer);
        FUZZ_EXPECT(vl::PositionForDrop(x, y, width, height) == stored);
    }

    // Drops anywhere, monotonic along each axis.
    const double x1 = in.ConsumeFloatingPoint<double>(), x2 = in.ConsumeFloatingPoint<double>();
    const double y1 = in.ConsumeFloatingPoint<double>();
    const vl::NotifyPosition a = vl::PositionForDrop(x1, y1, width, height);
    const vl::NotifyPosition b = vl::PositionForDrop(x2, y1, width, height);
    CheckAxis(a.x, width, vl::kRightMargin);
    CheckAxis(a.y, height, vl::kBottomMargin);
    if (std::isfinite(x1) && std::isfinite(x2) && x1 <= x2) FUZZ_EXPECT(a.x <= b.x);
    FUZZ_EXPECT(a.y == b.y);

    // A drag: the image changes only when the pointer crosses the area's edge,
    // and a drop is taken only when the last movement was inside.
    vl::PointerDrag drag;
    bool inside = false, plain = false;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                FUZZ_EXPECT(drag.Begin() == vl::DragImage::PlainOutline);
                inside = plain = true;
                break;
            case 1: {
                const double x = in.ConsumeIntegralInRange(-3000, 6000), y = in.ConsumeIntegralInRange(-3000, 6000);
                const std::optional<vl::DragImage> image = drag.OverPicture(x, y);
                inside = vl::InDropArea(x, y);
                FUZZ_EXPECT(image.has_value() == (inside != plain));
                if (image) FUZZ_EXPECT(*image == (inside ? vl::DragImage::PlainOutline : vl::DragImage::NoEntry));
                plain = inside;
                break;
            }
            case 2: {
                const double x = in.ConsumeIntegralInRange(-3000, 6000), y = in.ConsumeIntegralInRange(-3000, 6000);
                FUZZ_EXPECT(drag.DropOnPicture(x, y, width, height).has_value() == inside);
                break;
            }
            default:
                drag.End();
                inside = plain = false;
                break;
        }
    }
    return 0;
}
