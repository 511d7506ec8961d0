#include "word_mark_win32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "dib_surface_win32.h"
#include "platform/win32_api.h"
#include "platform/win32_handles.h"

namespace demosaver {
namespace {

constexpr wchar_t kWordMark[] = L"Vigilumen";
constexpr int kLength = static_cast<int>(std::size(kWordMark)) - 1;

int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// A light face if the machine has one; GDI would otherwise substitute
// something heavy.
const wchar_t* PickFace() {
    static constexpr const wchar_t* kFaces[] = {
        L"Segoe UI Light", L"Calibri Light", L"Segoe UI", L"DejaVu Sans Light", L"DejaVu Sans", L"Tahoma",
    };
    const vl::UniqueDc dc(::CreateCompatibleDC(nullptr));
    for (const wchar_t* face : kFaces) {
        LOGFONTW query{};
        query.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        ::EnumFontFamiliesExW(dc.get(), &query, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return face;
    }
    return L"Arial";
}

// The word's size in `font`, with `spacing` extra pixels after each letter.
SIZE MeasureWord(HFONT font, int spacing) {
    const vl::UniqueDc dc(::CreateCompatibleDC(nullptr));
    const vl::SelectedObject select(dc.get(), font);
    ::SetTextCharacterExtra(dc.get(), spacing);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc.get(), kWordMark, kLength, &extent);
    return extent;
}

// White on the surface's black, `margin` pixels in from its top-left corner.
void DrawWord(const DibSurface& surface, HFONT font, int spacing, int margin) {
    const vl::SelectedObject select(surface.dc(), font);
    ::SetBkMode(surface.dc(), TRANSPARENT);
    ::SetTextColor(surface.dc(), RGB(255, 255, 255));
    ::SetTextCharacterExtra(surface.dc(), spacing);
    ::TextOutW(surface.dc(), margin, margin, kWordMark, kLength);
    ::GdiFlush();  // the pixels are read right after
}

}  // namespace

// GDI draws the word in white on black; its coverage becomes the ink, and a
// blurred copy the halo around it.
Sprite MakeWordMark(int shortSide) {
    const int fontHeight = std::max(8, shortSide / 10);
    const int spacing = fontHeight / 16;
    const int blur = std::max(1, fontHeight / 9);
    const int margin = 3 * blur + 2;

    const vl::UniqueFont font(::CreateFontW(-fontHeight, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                            OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                            VARIABLE_PITCH | FF_SWISS, PickFace()));
    const SIZE extent = MeasureWord(font.get(), spacing);
    if (extent.cx <= 0 || extent.cy <= 0) return {};

    const DibSurface text(extent.cx + 2 * margin, extent.cy + 2 * margin);
    if (!text.valid()) return {};
    const int w = text.width(), h = text.height();
    for (int y = 0; y < h; ++y) std::fill_n(text.row(y), w, 0u);
    DrawWord(text, font.get(), spacing, margin);

    std::vector<int> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                static_cast<int>((text.row(y)[x] >> 8) & 0xffu);
    std::vector<int> halo = coverage;
    Blur(halo, w, h, blur);

    constexpr std::uint32_t kInk = Rgb(214, 226, 255);
    constexpr std::uint32_t kHalo = Rgb(60, 100, 220);
    return MakeSprite(w, h, [&](int x, int y) {
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
        const unsigned ink = static_cast<unsigned>(coverage[i]) * 256u / 255u;
        const unsigned glow = std::min(256u, static_cast<unsigned>(halo[i]) * 3u);
        return AddClamped(Scale(kInk, ink), Scale(kHalo, glow));
    });
}

}  // namespace demosaver
