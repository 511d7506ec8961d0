#pragma once

// Tiny owners for the few GDI handles the saver touches. A saver runs for
// hours, so every handle is released by exactly one destructor.

#include <windows.h>

#include <cstdint>

namespace demosaver {

// Owns one GDI object (font, bitmap, brush...) and deletes it.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : handle_(h) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset()
    {
        if (handle_) {
            DeleteObject(handle_);
            handle_ = nullptr;
        }
    }

private:
    Handle handle_ = nullptr;
};

// Selects an object into a DC and puts the previous one back on scope exit,
// so nothing we own is still selected when it gets deleted.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectScope()
    {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory DC from CreateCompatibleDC.
class MemoryDc {
public:
    explicit MemoryDc(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
    ~MemoryDc()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// BeginPaint/EndPaint pair for WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { BeginPaint(window_, &ps_); }
    ~PaintScope() { EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const { return ps_.hdc; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
};

// A top-down 32-bit DIB section selected into its own memory DC: GDI can draw
// on it (text) and we can write its pixels directly (additive glow), which
// plain GDI cannot do without AlphaBlend.
class DibSurface {
public:
    DibSurface(int width, int height)
        : dc_(nullptr), bitmap_(Create(width, height, &bits_)), select_(dc_.get(), bitmap_.get())
    {
        if (bits_) {
            width_ = width;
            height_ = height;
        }
    }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    bool valid() const { return bits_ != nullptr && dc_.get() != nullptr; }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t* row(int y) const { return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }

private:
    static HBITMAP Create(int width, int height, std::uint32_t** bits)
    {
        *bits = nullptr;
        if (width <= 0 || height <= 0)
            return nullptr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* raw = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        *bits = bitmap ? static_cast<std::uint32_t*>(raw) : nullptr;
        return bitmap;
    }

    // Declaration order matters: the selection is undone first, then the
    // bitmap deleted, then the DC.
    MemoryDc dc_;
    std::uint32_t* bits_ = nullptr;
    GdiObject<HBITMAP> bitmap_;
    SelectScope select_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace demosaver
