// Points and rectangles on the screen, in pixels. Left of or above a second
// monitor they are negative.
#pragma once

#include <cstdint>

namespace vl {

struct ScreenPoint {
    std::int32_t x = 0, y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

struct ScreenRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom lie outside
    bool operator==(const ScreenRect&) const = default;
};

}  // namespace vl
