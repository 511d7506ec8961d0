// Form geometry is given in twips (1/1440 inch); windows are placed in
// pixels. One scale per screen axis, from the screen's real DPI.
#pragma once

#include <cmath>

namespace vl {

struct TwipsScale {
    double perPixelX = 15.0;  // twips per pixel: 15 at 96 DPI, 12 at 120 DPI
    double perPixelY = 15.0;

    static TwipsScale FromDpi(int dpiX, int dpiY) {
        return {dpiX > 0 ? 1440.0 / dpiX : 15.0, dpiY > 0 ? 1440.0 / dpiY : 15.0};
    }
    [[nodiscard]] int PxX(double twips) const { return static_cast<int>(std::lround(twips / perPixelX)); }
    [[nodiscard]] int PxY(double twips) const { return static_cast<int>(std::lround(twips / perPixelY)); }
    [[nodiscard]] int Dpi() const { return static_cast<int>(std::lround(1440.0 / perPixelY)); }
    [[nodiscard]] double TwX(double pixels) const { return pixels * perPixelX; }
    [[nodiscard]] double TwY(double pixels) const { return pixels * perPixelY; }
};

// A rectangle in twips, as the form's layout is given.
struct TwipsRect {
    double left, top, width, height;
};

}  // namespace vl
