#include "display/icon_carrier_win32.h"

#include <algorithm>

#include "display/icon_layout.h"
#include "platform/dpi.h"
#include "platform/win32_util.h"
#include "platform/win32_system_dll.h"
#include "platform/win32_window.h"

namespace vl {
namespace {

constexpr wchar_t kCarrierClass[] = L"Vigilumen.frmIcon";

// Per-window DPI awareness exists from Windows 10 on; older systems run
// without it, so the functions are looked up at run time.
using GetWindowDpiAwarenessContextFn = HANDLE(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFn = HANDLE(WINAPI*)(HANDLE);
using AreDpiAwarenessContextsEqualFn = BOOL(WINAPI*)(HANDLE, HANDLE);

}  // namespace

LRESULT IconCarrier::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // a click must never take the saver's activation
        // Seen through: a point test of ours finds the saver's window under
        // the icons, even where the carrier is a topmost window of its own.
        case WM_NCHITTEST: return HTTRANSPARENT;
        case WM_ERASEBKGND: return 1;  // Paint fills everything
        case WM_PAINT: {
            PaintDc paint(hwnd);
            Paint(paint.get());
            return 0;
        }
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wp)); return 0;
        case WM_NCDESTROY:
            if (window_.get() == hwnd) {
                (void)window_.release();  // destroyed with the saver's window: nothing left to close
                dc_ = nullptr;
            }
            return ::DefWindowProcW(hwnd, msg, wp, lp);
        default: return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// One paint routine for WM_PAINT, WM_PRINTCLIENT and the ticks: a copy of
// the composed picture; drawn directly only when no bitmap can be had.
void IconCarrier::Paint(HDC dc) {
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    const int width = client.right, height = client.bottom;
    // The files are looked at now and then (by the cache): a changed one shows.
    for (const auto& entry : tickIcons_) (void)TickPicture(entry.second);
    if (iconSource_ && picture_.iconGeneration != iconSource_->Generation()) pictureStale_ = true;
    if ((pictureStale_ || width != picture_.width || height != picture_.height) && !Compose(width, height)) {
        Draw(dc, client);
        return;
    }
    ::BitBlt(dc, 0, 0, width, height, picture_.dc.get(), 0, 0, SRCCOPY);
}

bool IconCarrier::Compose(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (!picture_.dc || width != picture_.width || height != picture_.height) {
        picture_.Clear();
        UniqueBitmap bitmap(::CreateCompatibleBitmap(dc_, width, height));
        UniqueDc dc(::CreateCompatibleDC(dc_));
        if (!bitmap || !dc || !::SelectObject(dc.get(), bitmap.get())) return false;
        picture_.bitmap = std::move(bitmap);
        picture_.dc = std::move(dc);
        picture_.width = width;
        picture_.height = height;
    }
    if (iconSource_) picture_.iconGeneration = iconSource_->Generation();
    Draw(picture_.dc.get(), RECT{0, 0, width, height});
    pictureStale_ = false;
    return true;
}

// The fill colour shows through an icon's transparent parts; each visible
// element shows its picture scaled to the element, and the tick icons are
// drawn over them.
void IconCarrier::Draw(HDC dc, const RECT& client) const {
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    for (const Element& e : elements_) {
        if (!e.visible || !e.shown) continue;
        ::DrawIconEx(dc, e.rect.left, e.rect.top, e.shown, e.rect.right - e.rect.left, e.rect.bottom - e.rect.top, 0,
                     nullptr, DI_NORMAL);
    }
    // The system icon size is the element's size only at 96 DPI; drawn at
    // the element's size, a tick icon never spills into its neighbour.
    for (const auto& [at, path] : tickIcons_)
        if (HICON icon = TickPicture(path))
            ::DrawIconEx(dc, at.first, at.second, icon, elementSize_, elementSize_, 0, nullptr, DI_NORMAL);
}

HICON IconCarrier::TickPicture(const std::string& path) const {
    if (!iconSource_) return nullptr;
    HICON icon = iconSource_->Get(path);
    return icon ? icon : fallbackIcon_;
}

void IconCarrier::DrawTickIcon(int x, int y, const std::string& path) {
    if (!window_ || !iconSource_) return;
    const auto [entry, added] = tickIcons_.try_emplace({x, y}, path);
    if (added || entry->second != path) {
        entry->second = path;
        pictureStale_ = true;
    }
    tickAsked_ = true;
}

// The ticks repaint what the saver may have painted over, and a carrier
// that came back onto the screen, all in one copy.
void IconCarrier::EndTick() {
    const bool due = tickAsked_ || comingBack_;
    tickAsked_ = comingBack_ = false;
    if (window_ && due) Paint(dc_);
}

bool IconCarrier::CreateWindowUnderCurrentContext(int left, int top, int width, int height) {
    // Built aside first: a carrier that cannot be made again keeps the old one.
    UniqueWindow created(::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kCarrierClass, L"", WS_POPUP, left, top,
                                           width, height, nullptr, nullptr, instance_, this));
    if (!created) return false;
    window_ = std::move(created);
    dc_ = ::GetDC(window_.get());  // a CS_OWNDC window's DC needs no release
    return true;
}

bool IconCarrier::CreateParked(HINSTANCE instance, const TwipsScale& twips, bool enlarged, HICON defaultIcon,
                               HICON fallbackIcon) {
    instance_ = instance;
    // The overlay timer repaints into the carrier's own DC.
    if (!RegisterObjectWindowClass<IconCarrier>(instance, kCarrierClass, {.style = CS_OWNDC})) return false;
    elementSizeAt96_ = enlarged ? kEnlargedIconPixels : kIconPixels;
    elementSize_ = elementSizeAt96_;
    fallbackIcon_ = fallbackIcon;
    elements_.clear();
    elements_.emplace_back();
    elements_[0].rect = {0, 0, elementSize_, elementSize_};
    elements_[0].visible = true;
    elements_[0].shown = defaultIcon;
    const int size = std::max(1, twips.PxX(1));
    parkedLeft_ = twips.PxX(kParkedLeftTwips);
    at_ = {parkedLeft_, 0};
    if (!CreateWindowUnderCurrentContext(at_.x, at_.y, size, size)) return false;
    pictureStale_ = true;
    ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    return true;
}

void IconCarrier::Close() {
    window_.reset();
    dc_ = nullptr;
    elements_.clear();
    tickIcons_.clear();
    picture_.Clear();
    pictureStale_ = true;
    parentOrigin_ = {0, 0};
}

void IconCarrier::RecreateInContextOf(HWND saverWindow) {
    static const auto getContext = User32Function<GetWindowDpiAwarenessContextFn>("GetWindowDpiAwarenessContext");
    static const auto setContext = User32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    static const auto sameContext = User32Function<AreDpiAwarenessContextsEqualFn>("AreDpiAwarenessContextsEqual");
    if (!getContext || !setContext || !sameContext) return;
    HANDLE saverContext = getContext(saverWindow);
    if (!saverContext || sameContext(saverContext, getContext(window_.get()))) return;
    // Windows refuses to make a window the child of one with another DPI
    // awareness: build the carrier again under the saver's awareness.
    RECT r{};
    ::GetWindowRect(window_.get(), &r);
    HANDLE previous = setContext(saverContext);
    const bool created = CreateWindowUnderCurrentContext(r.left, r.top, r.right - r.left, r.bottom - r.top);
    setContext(previous);
    if (created) ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
}

void IconCarrier::BecomeChildOf(HWND saverWindow) {
    if (!window_ || !saverWindow) return;
    RecreateInContextOf(saverWindow);
    // Made in the saver's DPI awareness, the carrier is drawn for the DPI
    // the saver's window is: its monitor's, the system's, or 96 for a saver
    // Windows stretches. (Asked of our own window: Windows answers that for
    // any window, Wine only for its own process's.)
    elementSize_ = ScaleToDpi(elementSizeAt96_, WindowDpi(window_.get()));
    if (elements_.size() == 1) elements_[0].rect = {0, 0, elementSize_, elementSize_};
    HWND carrier = window_.get();
    // A child that keeps WS_POPUP reports its owner as its parent.
    const LONG style = ::GetWindowLongW(carrier, GWL_STYLE);
    ::SetWindowLongW(carrier, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD);
    isChild_ = ::SetParent(carrier, saverWindow) != nullptr && ::GetParent(carrier) == saverWindow;
    if (isChild_) {
        // A saver's window covers every monitor: its client area may start
        // left of or above the primary's corner.
        parentOrigin_ = {0, 0};
        ::ClientToScreen(saverWindow, &parentOrigin_);
        return;
    }
    // Refused: the icons must still be seen, from a topmost window that
    // never takes the activation (that would end most savers).
    ::SetParent(carrier, nullptr);
    ::SetWindowLongW(carrier, GWL_STYLE, (style & ~WS_CHILD) | WS_POPUP);
    ::SetWindowLongW(carrier, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST);
    ::SetWindowPos(carrier, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

void IconCarrier::CreateElement(int k) {
    if (k < static_cast<int>(elements_.size())) return;
    elements_.resize(static_cast<size_t>(k) + 1);
    // A copy of element 0's settings: same size, hidden until it gets a picture.
    Element& e = elements_[k];
    e.rect = {0, 0, ElementWidth(0), ElementHeight(0)};
    e.visible = false;
    pictureStale_ = true;
}

bool IconCarrier::LoadElementPicture(int k, const std::string& path) {
    if (k >= static_cast<int>(elements_.size())) return false;
    Element& e = elements_[k];
    UniqueIcon icon(static_cast<HICON>(
        ::LoadImageW(nullptr, Wide(path).c_str(), IMAGE_ICON, ElementWidth(k), ElementHeight(k), LR_LOADFROMFILE)));
    if (!icon) return false;
    e.own = std::move(icon);
    e.shown = e.own.get();
    e.visible = true;
    ElementChanged(k);
    return true;
}

void IconCarrier::SetElementFallback(int k) {
    if (k >= static_cast<int>(elements_.size())) return;
    elements_[k].own.reset();
    elements_[k].shown = fallbackIcon_;
    ElementChanged(k);
}

void IconCarrier::PlaceElement(int k, int left, int top) {
    if (k >= static_cast<int>(elements_.size())) return;
    Element& e = elements_[k];
    // The old place is painted again too: a new element was drawn there
    // (over element 0) before it was moved.
    if (window_) ::InvalidateRect(window_.get(), &e.rect, FALSE);
    const int w = e.rect.right - e.rect.left, h = e.rect.bottom - e.rect.top;
    e.rect = {left, top, left + w, top + h};
    ElementChanged(k);
}

int IconCarrier::ElementWidth(int k) const {
    return k < static_cast<int>(elements_.size()) ? elements_[k].rect.right - elements_[k].rect.left : elementSize_;
}

int IconCarrier::ElementHeight(int k) const {
    return k < static_cast<int>(elements_.size()) ? elements_[k].rect.bottom - elements_[k].rect.top : elementSize_;
}

void IconCarrier::Place(int left, int top, int width, int height) {
    if (!window_) return;
    left -= parentOrigin_.x;
    top -= parentOrigin_.y;
    ::SetWindowPos(window_.get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    at_ = {left, top};
}

// Only this object moves the carrier, so where it stands is known without
// asking Windows (a question about the saver's window is a round trip).
void IconCarrier::SetLeft(int left) {
    if (left != parkedLeft_) left -= parentOrigin_.x;  // parked is far off in any window
    if (!window_ || at_.x == left) return;  // a move of the carrier costs the saver a repaint
    // Back from its parking place it copies its picture in at the end of the
    // tick: asked to redraw, Windows would first send it through a paint.
    comingBack_ = at_.x == parkedLeft_;
    ::SetWindowPos(window_.get(), nullptr, left, at_.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (comingBack_ ? SWP_NOREDRAW : 0));
    at_.x = left;
}

void IconCarrier::RepaintElement(int k) {
    if (!window_ || k >= static_cast<int>(elements_.size())) return;
    if (comingBack_) return;  // the whole carrier is painted at the end of the tick
    ::InvalidateRect(window_.get(), &elements_[k].rect, FALSE);
    ::UpdateWindow(window_.get());
}

void IconCarrier::ElementChanged(int k) {
    pictureStale_ = true;
    RepaintElement(k);
}

}  // namespace vl
