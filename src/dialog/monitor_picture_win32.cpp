#include "dialog/monitor_picture_win32.h"

#include "dialog/controls_win32.h"
#include "res/resource.h"

namespace vl {
namespace {

constexpr COLORREF kBezel = RGB(67, 70, 77);  // the picture's frame

// The picture's flat background takes the page's colour, whatever the
// colour scheme, so that the monitor stands on the page without a box
// around it. The picture (ours) keeps its 256 colours in a table, whose
// entries of the background's colour take the page's; the top-left pixel is
// background.
void PaintBackgroundAsPage(HBITMAP picture) {
    DIBSECTION dib{};
    if (::GetObjectW(picture, sizeof dib, &dib) != sizeof dib) return;  // not a DIB section: left as drawn
    const BITMAP& bm = dib.dsBm;
    if (!bm.bmBits || bm.bmBitsPixel != 8) return;
    ::GdiFlush();
    const auto* bits = static_cast<const unsigned char*>(bm.bmBits);
    const unsigned char corner = bits[dib.dsBmih.biHeight > 0 ? (bm.bmHeight - 1) * bm.bmWidthBytes : 0];
    UniqueDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return;
    const SelectedObject selected(dc.get(), picture);
    RGBQUAD table[256];
    const UINT count = ::GetDIBColorTable(dc.get(), 0, 256, table);
    if (corner >= count) return;
    const RGBQUAD background = table[corner];
    const COLORREF page = ::GetSysColor(COLOR_BTNFACE);
    for (UINT i = 0; i < count; ++i) {
        RGBQUAD& c = table[i];
        if (c.rgbBlue == background.rgbBlue && c.rgbGreen == background.rgbGreen && c.rgbRed == background.rgbRed)
            c = RGBQUAD{GetBValue(page), GetGValue(page), GetRValue(page), 0};
    }
    ::SetDIBColorTable(dc.get(), 0, count, table);
}

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

UniqueBitmap MonitorPicture(HINSTANCE instance, const TwipsScale& twips, const GlassRect& glass) {
    const RECT px = ToPixels(twips, {kPicScreenLeft, kPicScreenTop, kPicScreenWidth, kPicScreenHeight});
    UniqueBitmap picture(static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCE(IDB_MONITOR), IMAGE_BITMAP,
                                                           px.right - px.left, px.bottom - px.top,
                                                           LR_DEFAULTCOLOR | LR_CREATEDIBSECTION)));
    if (!picture) return picture;
    PaintBackgroundAsPage(picture.get());
    PaintGlassShape(picture.get(), twips, glass);
    return picture;
}

}  // namespace vl
