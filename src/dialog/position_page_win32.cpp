#include "dialog/position_page_win32.h"

#include <algorithm>

#include "dialog/monitor_picture_win32.h"
#include "display/display_win32.h"
#include "platform/win32_window.h"
#include "res/resource.h"

namespace vl {
namespace {

enum ControlId : int {
    kLabel = 400,
    kArrange = 401,
    kHorizontal = 402,
    kVertical = 403,
    kBlink = 404,
    kEnlarge = 405,
    kPicScreen = 406,
    kPicPointer = 407,
    kImgDrag = 408,
    kTry = 409,
    kAwaySummary = 410,
    kMonitor = 412,  // its label is 411
};

constexpr wchar_t kPointerClass[] = L"Vigilumen.Pointer";
constexpr double kOutlineTwips = 30;  // thickness of the dragged outline
constexpr COLORREF kPointerFill = RGB(220, 32, 24);
constexpr COLORREF kPointerMark = RGB(255, 255, 255);

HCURSOR ArrowCursor() { return ::LoadCursorW(nullptr, IDC_ARROW); }  // shared

// Mouse coordinates of a window with the capture may lie outside it, and
// left of or above a second monitor they are negative.
ScreenPoint OnScreen(HWND hwnd, LPARAM lp) {
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ::ClientToScreen(hwnd, &p);
    return {p.x, p.y};
}

MouseButton ButtonOf(UINT msg) {
    switch (msg) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: return MouseButton::Right;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP: return MouseButton::Middle;
        default: return MouseButton::Left;
    }
}

}  // namespace

PositionPage::~PositionPage() {
    drag_.Abandon();
    if (PicPointer_ && ::IsWindow(PicPointer_)) ::SetWindowLongPtrW(PicPointer_, GWLP_USERDATA, 0);
}

void PositionPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 450, kPageWidth, kPageHeight});
    label_ = CreateControl(frame_, L"STATIC",
                           L"Drag-and-drop pointer to set up on-screen postion  where notification would be displayed.",
                           WS_VISIBLE | SS_LEFT, {540, 3105, 3615, 510}, kLabel, font, t);
    arrange_ = CreateControl(frame_, L"BUTTON", L"Arrange icons ", WS_VISIBLE | BS_GROUPBOX, {540, 3555, 3660, 690},
                             kArrange, font, t);
    // The options lie inside Frame7 on the form; as siblings placed over the
    // group box they keep their notifications on this page.
    optHor_ = CreateControl(frame_, L"BUTTON", L"Horizontally", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
                            {540 + 135, 3555 + 315, 1600, 255}, kHorizontal, font, t);
    optVer_ = CreateControl(frame_, L"BUTTON", L"Vertically", WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON,
                            {540 + 1890, 3555 + 315, 1600, 255}, kVertical, font, t);
    chkBlink_ = CreateControl(frame_, L"BUTTON", L"Blinking", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
                              {675, 4320, 1500, 255}, kBlink, font, t);
    chkEnlarge_ = CreateControl(frame_, L"BUTTON", L"Enlarged Icons", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                {2430, 4320, 1800, 255}, kEnlarge, font, t);
    ::SetWindowPos(arrange_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Beside the miniature, as "Settings..." stands beside the saver list;
    // the option in the free row under the others.
    cmdTry_ = CreateControl(frame_, L"BUTTON", L"Try", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON,
                            {3960, 225, 780, 345}, kTry, font, t);
    chkAway_ = CreateControl(frame_, L"BUTTON", L"List what happened while I was away",
                             WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, {675, 4635, 3900, 255},
                             kAwaySummary, font, t);

    const TwipsRect screenAt{kPicScreenLeft, kPicScreenTop, kPicScreenWidth, kPicScreenHeight};
    PicScreen_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP, screenAt, kPicScreen,
                               nullptr, t);
    LoadMonitorPicture();
    monitors_.Create(frame_, font, t, kMonitor);

    imgDrag_ = CreateControl(frame_, L"STATIC", L"", SS_ICON, {4200, 225, 480, 480}, kImgDrag, nullptr, t);
    noEntryIcon_.reset(static_cast<HICON>(
        ::LoadImageW(host_.Instance(), MAKEINTRESOURCE(IDI_NODROP), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    ::SendMessageW(imgDrag_, STM_SETICON, reinterpret_cast<WPARAM>(noEntryIcon_.get()), 0);
    CreateNoEntryCursor();
    outlineThickness_ = t.PxX(kOutlineTwips);
    CreatePointer();
}

void PositionPage::LoadMonitorPicture() {
    UniqueBitmap picture = MonitorPicture(host_.Instance(), host_.Twips(), glass_);
    if (!picture) return;  // the old one stays rather than none
    ::SendMessageW(PicScreen_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
    monitorPicture_ = std::move(picture);  // the control no longer holds the old one
}

ScreenPoint PositionPage::ScreenSize() const {
    return monitors_.ScreenSize({host_.ScreenWidthPixels(), host_.ScreenHeightPixels()});
}

// The pointer from the stored position, on the glass as drawn.
void PositionPage::PlacePointerFromStored() {
    const RuntimeState& state = host_.State();
    const ScreenPoint size = ScreenSize();
    const TwipsPoint onWhole =
        PlacePointer({state.settings.NotifyX, state.settings.NotifyY}, size.x, size.y, pointerSize_);
    const TwipsPoint centre = FromWholeGlass({onWhole.x + pointerSize_.width / 2 - kPicScreenLeft,
                                              onWhole.y + pointerSize_.height / 2 - kPicScreenTop},
                                             glass_);
    MovePointer({centre.x + kPicScreenLeft - pointerSize_.width / 2, centre.y + kPicScreenTop - pointerSize_.height / 2},
                pointerSize_);
}

// Another monitor: the glass takes its shape and the pointer the stored
// position on it; nothing else changes until the settings are saved.
void PositionPage::Monitor_Click() {
    const Monitor* chosen = monitors_.Selected();
    if (!chosen) return;
    host_.State().settings.NotifyMonitor = chosen->primary ? std::string() : chosen->name;
    ShowGlass();
    PlacePointerFromStored();
    host_.SetDirty(true);
}

void PositionPage::ShowGlass() {
    const GlassRect glass = monitors_.Glass();
    if (glass == glass_) return;
    glass_ = glass;
    LoadMonitorPicture();
}

void PositionPage::DpiChanged() {
    LoadMonitorPicture();
    outlineThickness_ = host_.Twips().PxX(kOutlineTwips);
}

void PositionPage::CreatePointer() {
    HINSTANCE instance = host_.Instance();
    if (!RegisterObjectWindowClass<PositionPage, &PositionPage::PointerMessage>(instance, kPointerClass,
                                                                                {.style = CS_HREDRAW | CS_VREDRAW}))
        return;
    pointerSize_ = kPointerAtLoad;
    pointerAt_ = PlacePointer({0, 0}, 1, 1, pointerSize_);
    const RECT r = ToPixels(host_.Twips(), {pointerAt_.x, pointerAt_.y, pointerSize_.width, pointerSize_.height});
    PicPointer_ = ::CreateWindowExW(0, kPointerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, r.left, r.top,
                                    r.right - r.left, r.bottom - r.top, frame_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPicPointer)), instance, this);
    // A window of its own above the picture: always drawn over it.
    ::SetWindowPos(PicPointer_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The no-entry icon with its hot spot in the middle, so that the sign sits
// on the mouse position while it stands for the dragged pointer.
void PositionPage::CreateNoEntryCursor() {
    ICONINFO info{};
    if (!noEntryIcon_ || !::GetIconInfo(noEntryIcon_.get(), &info)) return;
    UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    if (!::GetObjectW(mask.get(), sizeof bm, &bm)) return;
    info.fIcon = FALSE;
    info.xHotspot = static_cast<DWORD>(bm.bmWidth / 2);
    info.yHotspot = static_cast<DWORD>((colour ? bm.bmHeight : bm.bmHeight / 2) / 2);  // a bare mask is doubled
    noEntryCursor_.reset(::CreateIconIndirect(&info));
}

LRESULT PositionPage::PointerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: PicPointer_Paint(); return 0;
        case WM_ERASEBKGND: return 1;  // the paint covers every pixel
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: drag_.Press(ButtonOf(msg), OnScreen(hwnd, lp)); return 0;
        case WM_MOUSEMOVE: drag_.Move(OnScreen(hwnd, lp)); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (const ScreenPoint size = ScreenSize();
                const auto drop = drag_.Release(ButtonOf(msg), OnScreen(hwnd, lp), size.x, size.y))
                PicScreen_DragDrop(*drop);
            return 0;
        case WM_CAPTURECHANGED: drag_.CaptureLost(); return 0;
        default: return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void PositionPage::LoadOptions(const RuntimeState& state) {
    SetChecked(chkBlink_, false);
    MovePointer(pointerAt_, kPointerAtLoad);
    SetChecked(chkBlink_, state.settings.BlinkIcons);
    if (IsChecked(chkEnlarge_) != state.settings.EnlargeIcons) {
        SetChecked(chkEnlarge_, state.settings.EnlargeIcons);
        chkEnlarge_Click();  // a box whose value changes runs its handler
    }
    SetChecked(chkAway_, state.settings.AwaySummary);
    SetChecked(optHor_, state.settings.IconOrientation == 1);
    SetChecked(optVer_, state.settings.IconOrientation == 2);
    monitors_.Fill(ScreenMonitors(), state.settings.NotifyMonitor);
    ShowGlass();
    PlacePointerFromStored();
}

void PositionPage::ReadChoices(DialogChoices& choices) const {
    choices.blinkChecked = IsChecked(chkBlink_);
    choices.enlargeChecked = IsChecked(chkEnlarge_);
    choices.horizontal = IsChecked(optHor_);
    choices.awaySummaryChecked = IsChecked(chkAway_);
}

void PositionPage::EnableTry(bool enabled) {
    // A disabled button drops the focus, and the keyboard with it.
    if (!enabled && ::GetFocus() == cmdTry_) ::SetFocus(chkBlink_);
    ::EnableWindow(cmdTry_, enabled);
}

void PositionPage::OnCommand(int id, int code, HWND) {
    if (id == kMonitor && code == CBN_SELCHANGE) Monitor_Click();
    if (code != BN_CLICKED) return;
    switch (id) {
        case kBlink: chkBlink_Click(); break;
        case kEnlarge: chkEnlarge_Click(); break;
        case kHorizontal: optHor_Click(); break;
        case kVertical: optVer_Click(); break;
        case kTry: cmdTry_Click(); break;
        case kAwaySummary: chkAway_Click(); break;
        default: break;
    }
}

void PositionPage::chkBlink_Click() { host_.SetDirty(true); }

// The pointer grows or shrinks from its top-left corner.
void PositionPage::chkEnlarge_Click() {
    MovePointer(pointerAt_, PointerSizeForEnlarge(IsChecked(chkEnlarge_)));
    host_.SetDirty(true);
}

void PositionPage::optHor_Click() { host_.SetDirty(true); }

void PositionPage::optVer_Click() { host_.SetDirty(true); }

// The dialog steps aside while its choices run, and comes back as it was.
void PositionPage::cmdTry_Click() {
    const DialogChoices choices = host_.CurrentChoices();
    if (!CanTry(choices)) return;
    HWND form = host_.FormWindow();
    ::ShowWindow(form, SW_HIDE);
    const bool tried = host_.RunTry(choices);
    if (!::IsWindow(form)) return;  // closed meanwhile with the window it was opened from
    ::ShowWindow(form, SW_SHOWNORMAL);
    ::SetForegroundWindow(form);
    if (!tried)
        ::MessageBoxW(form, L"The screen saver could not be tried.", L"Corvane Vigilumen", MB_OK | MB_ICONERROR);
}

void PositionPage::chkAway_Click() { host_.SetDirty(true); }

void PositionPage::MovePointer(TwipsPoint topLeft, PointerSize size) {
    pointerAt_ = topLeft;
    pointerSize_ = size;
    MoveControl(PicPointer_, host_.Twips(), {topLeft.x, topLeft.y, size.width, size.height});
}

// A red marker with a dark rim and a white cross on its centre, the point
// that stands for the notification position.
void PositionPage::PicPointer_Paint() {
    PaintDc paint(PicPointer_);
    HDC dc = paint.get();
    RECT r{};
    ::GetClientRect(PicPointer_, &r);
    ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    RECT inner = r;
    ::InflateRect(&inner, -1, -1);
    UniqueBrush fill(::CreateSolidBrush(kPointerFill));
    ::FillRect(dc, &inner, fill.get());
    const int cx = (r.right - 1) / 2, cy = (r.bottom - 1) / 2;
    const int arm = (inner.bottom - inner.top) >= 5 ? 2 : 1;
    UniqueBrush mark(::CreateSolidBrush(kPointerMark));
    const RECT across{cx - arm, cy, cx + arm + 1, cy + 1};
    const RECT down{cx, cy - arm, cx + 1, cy + arm + 1};
    ::FillRect(dc, &across, mark.get());
    ::FillRect(dc, &down, mark.get());
}

void PositionPage::PicScreen_DragDrop(const PointerDrop& drop) {
    const TwipsPoint at = FromWholeGlass(drop.at, glass_);
    MovePointer(CentreOnDrop(at.x, at.y, pointerSize_), pointerSize_);
    host_.State().settings.NotifyX = drop.stored.x;
    host_.State().settings.NotifyY = drop.stored.y;
    host_.SetDirty(true);
}

DragSpot PositionPage::SpotAt(ScreenPoint point) {
    const POINT screen{point.x, point.y};
    HWND top = ::WindowFromPoint(screen);
    if (!top || ::GetAncestor(top, GA_ROOT) != ::GetAncestor(frame_, GA_ROOT)) return {};
    POINT p = screen;
    ::ScreenToClient(frame_, &p);
    RECT client{};
    ::GetClientRect(frame_, &client);
    if (!::PtInRect(&client, p)) return {};
    // Not WindowFromPoint for the children: static controls let it fall through.
    HWND child = ::ChildWindowFromPointEx(frame_, p, CWP_SKIPINVISIBLE);
    if (child == frame_) return {DragTarget::Page, {}};
    if (child != PicScreen_) return {};
    POINT onPicture = screen;
    ::ScreenToClient(PicScreen_, &onPicture);
    const TwipsScale& t = host_.Twips();
    return {DragTarget::Picture, ToWholeGlass({t.TwX(onPicture.x), t.TwY(onPicture.y)}, glass_)};
}

ScreenRect PositionPage::PointerRect() {
    RECT r{};
    ::GetWindowRect(PicPointer_, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void PositionPage::ShowCursor(DragImage image) {
    const bool noEntry = image == DragImage::NoEntry && noEntryCursor_;
    ::SetCursor(noEntry ? noEntryCursor_.get() : ArrowCursor());
}

// Four inverted bands on the screen itself, so the outline shows over any
// window the mouse passes. The bands do not overlap: inverting them a
// second time gives back exactly what was there.
void PositionPage::InvertOutline(const ScreenRect& r) {
    UniqueWindowDc screen = GetWindowDc(nullptr);
    if (!screen) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int t = std::max(1, std::min({outlineThickness_, w / 2, h / 2}));
    HDC dc = screen.get();
    ::PatBlt(dc, r.left, r.top, w, t, DSTINVERT);
    ::PatBlt(dc, r.left, r.bottom - t, w, t, DSTINVERT);
    ::PatBlt(dc, r.left, r.top + t, t, h - 2 * t, DSTINVERT);
    ::PatBlt(dc, r.right - t, r.top + t, t, h - 2 * t, DSTINVERT);
}

}  // namespace vl
