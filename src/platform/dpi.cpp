#include "platform/dpi.h"

#include <cstdint>

namespace vl {
namespace {

int Usable(int dpi) { return dpi > 0 ? dpi : kBaseDpi; }

// a * b / c rounded half away from zero, in 64 bits, as MulDiv does.
int MulDivRounded(int a, int b, int c) {
    const std::int64_t p = std::int64_t{a} * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

}  // namespace

int ScaleToDpi(int pixelsAt96, int dpi) { return MulDivRounded(pixelsAt96, Usable(dpi), kBaseDpi); }

int FontHeightForDpi(int points, int dpi) { return -MulDivRounded(points, Usable(dpi), 72); }

}  // namespace vl
