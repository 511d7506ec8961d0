#include "display/icon_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vl {

bool IsIconDrawn(const RuntimeState& state, const std::string& path) {
    for (int k = 0; k < state.display.DrawnIconCount; ++k)
        if (state.display.DrawnIcons[k].IconPath == path) return true;
    return false;
}

void AddDrawnIcon(RuntimeState& state, const DrawnIcon& entry) {
    state.display.DrawnIcons[state.display.DrawnIconCount] = entry;
    ++state.display.DrawnIconCount;
    state.display.DrawnIcons.emplace_back();
}

CarrierLayout LayoutCarrierIcon(int k, double w, double h, double firstWidth, std::int16_t orientation,
                                std::int32_t notifyX, std::int32_t notifyY, const TwipsScale& twips) {
    CarrierLayout l;
    l.carrierLeft = notifyX * twips.perPixelX;
    l.carrierTop = notifyY * twips.perPixelY;
    if (orientation == 1) {
        l.elementLeft = k * w;
        l.entryX = static_cast<std::int32_t>(std::lround(k * firstWidth));
        l.carrierWidth = (k + 1) * w;
        l.carrierHeight = h;
    } else {
        l.elementTop = k * h;
        l.entryY = static_cast<std::int32_t>(std::lround(k * h));
        l.carrierWidth = w;
        l.carrierHeight = (k + 1) * h;
    }
    return l;
}

ScreenPoint ScreenIconPosition(int k, std::int16_t orientation, std::int32_t notifyX, std::int32_t notifyY) {
    // A hand-edited position near the 32-bit limit must not overflow.
    const auto step = [k](std::int32_t from) {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{from} + std::int64_t{kScreenIconPitch} * k, INT32_MIN, INT32_MAX));
    };
    if (orientation == 1) return {step(notifyX), notifyY};
    return {notifyX, step(notifyY)};
}

}  // namespace vl
