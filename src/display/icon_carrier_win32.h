// frmIcon: the small borderless window that carries the notification icons.
// It exists from the run-mode launch on, parked off the screen; at the first
// icon it becomes a child window of the saver's window.
#pragma once

#include "platform/win32_api.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "display/icon_cache_win32.h"
#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace vl {

class IconCarrier {
public:
    IconCarrier() = default;
    IconCarrier(const IconCarrier&) = delete;
    IconCarrier& operator=(const IconCarrier&) = delete;

    // Creates the window with element 0 (showing `defaultIcon`), parks it at
    // Left -20000 twips, 1 x 1 twip, and shows it without taking activation.
    bool CreateParked(HINSTANCE instance, const TwipsScale& twips, bool enlarged, HICON defaultIcon,
                      HICON fallbackIcon);
    void Close();

    // Makes the carrier a child of the window under (1,1). Where Windows
    // refuses, it becomes a topmost tool window that never activates instead.
    void BecomeChildOf(HWND saverWindow);
    [[nodiscard]] bool IsChildOfSaver() const { return isChild_; }

    void CreateElement(int k);
    bool LoadElementPicture(int k, const std::string& path);
    void SetElementFallback(int k);
    void PlaceElement(int k, int left, int top);
    [[nodiscard]] int ElementWidth(int k) const;
    [[nodiscard]] int ElementHeight(int k) const;
    // Screen coordinates (the parked place excepted, which counts in any window).
    void Place(int left, int top, int width, int height);
    void SetLeft(int left);
    void RepaintElement(int k);  // the overlay tick's repaint, unchanged

    // Where the icon files' pictures come from; the fallback icon stands in
    // for a file the cache has no icon of.
    void SetIconSource(IconCache* cache) { iconSource_ = cache; }
    // The overlay timer's repaint of one icon at its place, at the size of a
    // plain element (the system icon size at 96 DPI); later paints of the
    // carrier draw it again. What a tick asked for shows at EndTick.
    void DrawTickIcon(int x, int y, const std::string& path);
    void EndTick();

    [[nodiscard]] HWND hwnd() const { return window_.get(); }
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    [[nodiscard]] HDC dc() const { return dc_; }

private:
    struct Element {
        RECT rect{};
        bool visible = false;
        UniqueIcon own;         // a loaded file's icon
        HICON shown = nullptr;  // what it paints: `own`, the default or the fallback icon
    };

    // The carrier's picture is composed once in a bitmap and copied to the
    // window on each paint: drawing an icon costs a temporary DC every time
    // (and, under some systems, a look at the display's defaults).
    struct Picture {
        UniqueBitmap bitmap;
        UniqueDc dc;  // holds the bitmap, so it goes first: a selected bitmap cannot be deleted
        int width = 0, height = 0;
        unsigned iconGeneration = 0;
        void Clear() {
            dc.reset();
            bitmap.reset();
            width = height = 0;
        }
    };

    void Paint(HDC dc);
    void Draw(HDC dc, const RECT& client) const;
    bool Compose(int width, int height);
    HICON TickPicture(const std::string& path) const;
    void ElementChanged(int k);
    bool CreateWindowUnderCurrentContext(int left, int top, int width, int height);
    void RecreateInContextOf(HWND saverWindow);

    HINSTANCE instance_ = nullptr;
    UniqueWindow window_;
    HDC dc_ = nullptr;  // the class's own DC, valid while the window lives
    POINT parentOrigin_{};  // the saver's client area on the screen, once the carrier is its child
    int elementSize_ = 32;  // pixels, at the DPI of the window it lies in
    int elementSizeAt96_ = 32;
    HICON fallbackIcon_ = nullptr;  // owned by the caller
    std::vector<Element> elements_;
    std::map<std::pair<int, int>, std::string> tickIcons_;  // place -> icon file
    IconCache* iconSource_ = nullptr;
    Picture picture_;
    bool pictureStale_ = true;  // an element or a tick icon changed since it was composed
    bool tickAsked_ = false;    // a tick asked for its icons since the last EndTick
    bool comingBack_ = false;   // moved onto the screen this tick, not yet painted
    POINT at_{};                // where Place and SetLeft put it, in its parent's terms
    int parkedLeft_ = 0;
    bool isChild_ = false;
};

}  // namespace vl
