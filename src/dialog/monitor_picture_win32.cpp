#include "dialog/monitor_picture_win32.h"

#include "dialog/controls_win32.h"
#include "res/resource.h"

namespace vl {
namespace {

constexpr COLORREF kBezel = RGB(67, 70, 77);  // the picture's frame
constexpr COLORREF kPictureBackground = RGB(240, 240, 240);  // BG of tools/make_assets.py

// The glass outside the chosen monitor's shape is frame.
void PaintGlassShape(HBITMAP picture, const TwipsScale& t, const GlassRect& glass) {
    if (glass == kWholeGlass) return;
    UniqueDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return;
    const SelectedObject selected(dc.get(), picture);
    const RECT whole = ToPixels(t, {kWholeGlass.left, kWholeGlass.top, kWholeGlass.width, kWholeGlass.height});
    const RECT shaped = ToPixels(t, {glass.left, glass.top, glass.width, glass.height});
    UniqueBrush bezel(::CreateSolidBrush(kBezel));
    for (const RECT& bar : {RECT{whole.left, whole.top, whole.right, shaped.top},
                            RECT{whole.left, shaped.bottom, whole.right, whole.bottom},
                            RECT{whole.left, shaped.top, shaped.left, shaped.bottom},
                            RECT{shaped.right, shaped.top, whole.right, shaped.bottom}})
        if (bar.right > bar.left && bar.bottom > bar.top) ::FillRect(dc.get(), &bar, bezel.get());
}

}  // namespace

// The picture, drawn from its resource at the size asked. It is kept
// compressed (BI_RLE8), which no DIB section can hold: its colour table is
// copied, its flat background (kPictureBackground) takes the page's colour
// whatever the colour scheme, so that the monitor stands on the page
// without a box around it, and GDI stretches it into a bitmap of its own.
UniqueBitmap MonitorPicture(HINSTANCE instance, const TwipsScale& twips, const GlassRect& glass) {
    const RECT px = ToPixels(twips, {kPicScreenLeft, kPicScreenTop, kPicScreenWidth, kPicScreenHeight});
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCE(IDB_MONITOR), RT_BITMAP);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const auto* header = loaded ? static_cast<const BITMAPINFOHEADER*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(instance, found) : 0;
    if (!header || size < sizeof *header || header->biBitCount != 8 || header->biClrUsed > 256 ||
        size < header->biSize + header->biClrUsed * sizeof(RGBQUAD) + header->biSizeImage)
        return UniqueBitmap();
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header = *header;
    info.header.biSize = sizeof info.header;
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    const COLORREF page = ::GetSysColor(COLOR_BTNFACE);
    for (DWORD i = 0; i < header->biClrUsed; ++i) {
        const RGBQUAD c = table[i];
        info.colours[i] = RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) == kPictureBackground
                              ? RGBQUAD{GetBValue(page), GetGValue(page), GetRValue(page), 0}
                              : c;
    }
    const BYTE* bits = reinterpret_cast<const BYTE*>(table + header->biClrUsed);

    const int width = px.right - px.left;
    const int height = px.bottom - px.top;
    BITMAPINFO target{};
    target.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    UniqueBitmap picture(::CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &pixels, nullptr, 0));
    UniqueDc dc(::CreateCompatibleDC(nullptr));
    if (!picture || !dc) return UniqueBitmap();
    {
        const SelectedObject selected(dc.get(), picture.get());
        ::SetStretchBltMode(dc.get(), COLORONCOLOR);
        if (::StretchDIBits(dc.get(), 0, 0, width, height, 0, 0, header->biWidth, header->biHeight, bits,
                            reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY) == 0)
            return UniqueBitmap();
    }
    PaintGlassShape(picture.get(), twips, glass);
    return picture;
}

}  // namespace vl
