// Icon placement over arbitrary positions, orientations, element sizes and
// paths: every element lies inside its carrier, screen icons step 40 pixels
// without overflowing, a position is brought onto any screen without moving
// one already there, and the drawn-icon table finds exactly what was added.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <set>

#include "display/icon_layout.h"
#include "display/notify_monitor.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::int16_t orientation = in.ConsumeIntegral<std::int16_t>();
    const std::int32_t notifyX = in.ConsumeIntegral<std::int32_t>();
    const std::int32_t notifyY = in.ConsumeIntegral<std::int32_t>();
    // Screens report a quarter of 96 DPI up to ten times it; 0 stands for a failed query.
    const auto dpi = [&in] {
        const int d = in.ConsumeIntegralInRange(23, 960);
        return d == 23 ? 0 : d;
    };
    const vl::TwipsScale twips = vl::TwipsScale::FromDpi(dpi(), dpi());
    FUZZ_EXPECT(twips.perPixelX > 0 && twips.perPixelY > 0);

    // Element sizes as the carrier reports them: whole pixels of a real icon.
    const double w = twips.TwX(in.ConsumeIntegralInRange(1, 256));
    const double h = twips.TwY(in.ConsumeIntegralInRange(1, 256));
    const double first = twips.TwX(in.ConsumeIntegralInRange(1, 256));
    const int k = in.ConsumeIntegralInRange(0, 32767);
    const vl::CarrierLayout l = vl::LayoutCarrierIcon(k, w, h, first, orientation, notifyX, notifyY, twips);
    FUZZ_EXPECT(l.elementLeft >= 0 && l.elementTop >= 0);
    const auto within = [](double inner, double outer) { return inner <= outer * (1 + 1e-12); };  // rounding aside
    FUZZ_EXPECT(within(l.elementLeft + w, l.carrierWidth) && within(l.elementTop + h, l.carrierHeight));
    FUZZ_EXPECT(l.carrierLeft == notifyX * twips.perPixelX && l.carrierTop == notifyY * twips.perPixelY);
    if (orientation == 1)
        FUZZ_EXPECT(l.entryY == 0 && l.entryX == std::lround(k * first));
    else
        FUZZ_EXPECT(l.entryX == 0 && l.entryY == std::lround(k * h));

    const vl::ScreenPoint at = vl::ScreenIconPosition(k, orientation, notifyX, notifyY);
    const auto step = [k](std::int32_t from) {
        return std::clamp<std::int64_t>(from + std::int64_t{vl::kScreenIconPitch} * k, INT32_MIN, INT32_MAX);
    };
    FUZZ_EXPECT(orientation == 1 ? at.x == step(notifyX) && at.y == notifyY : at.x == notifyX && at.y == step(notifyY));

    // A monitor anywhere Windows can put one (or none known), a row or column
    // of icons: whatever fits lies whole on it, and one already on it stays.
    const int left = in.ConsumeIntegralInRange(-32768, 32767), top = in.ConsumeIntegralInRange(-32768, 32767);
    const vl::ScreenRect monitor{left, top, left + in.ConsumeIntegralInRange(0, 32767),
                                 top + in.ConsumeIntegralInRange(0, 32767)};
    const int width = in.ConsumeIntegralInRange(0, 70000), height = in.ConsumeIntegralInRange(0, 70000);
    const vl::ScreenRect placed = vl::PlaceOnMonitor(monitor, {notifyX, notifyY}, width, height);
    const auto span = [](std::int32_t from, std::int32_t to) { return std::int64_t{to} - from; };
    const bool known = monitor.right > monitor.left && monitor.bottom > monitor.top;
    FUZZ_EXPECT(span(placed.left, placed.right) == width && span(placed.top, placed.bottom) == height);
    if (known) {
        const auto fits = [](std::int32_t lo, std::int32_t hi, std::int32_t from, std::int32_t to) {
            return from >= lo && (to <= hi || from == lo);
        };
        FUZZ_EXPECT(fits(monitor.left, monitor.right, placed.left, placed.right));
        FUZZ_EXPECT(fits(monitor.top, monitor.bottom, placed.top, placed.bottom));
        const std::int64_t wantLeft = std::int64_t{monitor.left} + notifyX, wantTop = std::int64_t{monitor.top} + notifyY;
        if (wantLeft >= monitor.left && wantLeft + width <= monitor.right) FUZZ_EXPECT(placed.left == wantLeft);
        if (wantTop >= monitor.top && wantTop + height <= monitor.bottom) FUZZ_EXPECT(placed.top == wantTop);
    }

    // The drawn-icon table: each path once, found again only by its exact text.
    vl::RuntimeState state;
    std::set<std::string> added;
    while (in.remaining_bytes() > 0) {
        const std::string path = in.ConsumeRandomLengthString(40);
        FUZZ_EXPECT(vl::IsIconDrawn(state, path) == (added.count(path) > 0));
        if (added.insert(path).second) {
            vl::DrawnIcon icon;
            icon.IconPath = path;
            vl::AddDrawnIcon(state, icon);
        }
        FUZZ_EXPECT(state.display.DrawnIconCount == static_cast<std::int16_t>(added.size()));
        FUZZ_EXPECT(state.display.DrawnIcons.size() == added.size() + 1);
    }
    return 0;
}
