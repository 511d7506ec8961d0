// A top-down 32-bit DIB section selected into its own memory DC: GDI can draw
// on it (text) and the sky can write its pixels directly (additive glow),
// which plain GDI cannot do without AlphaBlend.
#pragma once

#include "platform/win32_api.h"

#include <cstddef>
#include <cstdint>

#include "platform/win32_handles.h"

namespace demosaver {

class DibSurface {
public:
    DibSurface(int width, int height)
        : dc_(::CreateCompatibleDC(nullptr)), bitmap_(Create(width, height, &bits_)),
          select_(dc_.get(), bitmap_.get()) {
        if (bits_) {
            width_ = width;
            height_ = height;
        }
    }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    [[nodiscard]] bool valid() const { return bits_ != nullptr && dc_.valid(); }
    [[nodiscard]] HDC dc() const { return dc_.get(); }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] std::uint32_t* row(int y) const {
        return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }

private:
    static HBITMAP Create(int width, int height, std::uint32_t** bits) {
        *bits = nullptr;
        if (width <= 0 || height <= 0) return nullptr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* raw = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        *bits = bitmap ? static_cast<std::uint32_t*>(raw) : nullptr;
        return bitmap;
    }

    // Declaration order matters: the selection is undone first, then the
    // bitmap deleted, then the DC.
    vl::UniqueDc dc_;
    std::uint32_t* bits_ = nullptr;  // set by Create, before bitmap_ is initialised
    vl::UniqueBitmap bitmap_;
    vl::SelectedObject select_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace demosaver
