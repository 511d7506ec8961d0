#include "display/notify_monitor.h"

#include <algorithm>
#include <cstdint>

namespace vl {
namespace {

// A hand-edited position near the 32-bit limit must not overflow: the
// rectangle keeps its size and stops at the limit.
std::int32_t Within32(std::int64_t from, int size) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(from, INT32_MIN, std::int64_t{INT32_MAX} - size));
}

}  // namespace

const Monitor* NotifyMonitorOf(const std::vector<Monitor>& monitors, const std::string& stored) {
    if (monitors.empty()) return nullptr;
    const auto named = std::find_if(monitors.begin(), monitors.end(),
                                    [&](const Monitor& m) { return !stored.empty() && m.name == stored; });
    if (named != monitors.end()) return &*named;
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    return primary != monitors.end() ? &*primary : &monitors.front();
}

std::string MonitorNumber(const Monitor& monitor, size_t index) {
    size_t digits = monitor.name.size();
    while (digits > 0 && monitor.name[digits - 1] >= '0' && monitor.name[digits - 1] <= '9') --digits;
    const std::string number = monitor.name.substr(digits);
    return number.empty() || number.size() > 4 ? std::to_string(index + 1) : number;
}

ScreenRect PlaceOnMonitor(const ScreenRect& monitor, ScreenPoint offset, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::int64_t left = std::int64_t{monitor.left} + offset.x, top = std::int64_t{monitor.top} + offset.y;
    if (monitor.right > monitor.left && monitor.bottom > monitor.top) {
        left = std::max<std::int64_t>(std::min<std::int64_t>(left, std::int64_t{monitor.right} - width), monitor.left);
        top = std::max<std::int64_t>(std::min<std::int64_t>(top, std::int64_t{monitor.bottom} - height), monitor.top);
    }
    const std::int32_t x = Within32(left, width), y = Within32(top, height);
    return {x, y, x + width, y + height};
}

}  // namespace vl
