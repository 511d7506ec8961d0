// The main form's window at the scale of the monitor it is on: its place,
// its size, its font, and a change of DPI while it is open.
#include "dialog/main_form_win32.h"

#include <algorithm>

#include "platform/dpi.h"
#include "platform/win32_util.h"

namespace vl {
namespace {

constexpr double kClientWidthTwips = 5130;
constexpr double kClientHeightTwips = 6045;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kFontPoints = 8;

// Centred over the window that asked for the settings, or over the work
// area, and kept whole inside the work area of that window's screen.
POINT DialogPlace(HWND owner, int width, int height) {
    RECT work{}, over{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (owner && ::GetWindowRect(owner, &over) &&
        ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        work = monitor.rcWork;
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        over = work;
    }
    const LONG x = over.left + (over.right - over.left - width) / 2;
    const LONG y = over.top + (over.bottom - over.top - height) / 2;
    return {std::clamp(x, work.left, std::max(work.left, work.right - width)),
            std::clamp(y, work.top, std::max(work.top, work.bottom - height))};
}

}  // namespace

bool MainForm::CreateScaledWindow(HINSTANCE instance, const wchar_t* className) {
    SetScale(ScreenTwips());
    const SIZE size = WindowSize();
    const POINT at = DialogPlace(modalOwner_, size.cx, size.cy);
    if (!::CreateWindowExW(kExStyle, className, L"", kStyle, at.x, at.y, size.cx, size.cy,
                           modalOwner_ ? modalOwner_ : hiddenOwner_.get(), nullptr, instance, this))
        return false;
    // Placed on a monitor of another scale than the system's, the window is
    // drawn for that monitor's: it is laid out for it before anything is in it.
    if (const int dpi = WindowDpi(hwnd_); dpi != twips_.Dpi()) {
        SetScale(TwipsScale::FromDpi(dpi, dpi));
        const SIZE scaled = WindowSize();
        PlaceWindow(DialogPlace(modalOwner_, scaled.cx, scaled.cy));
    }
    return true;
}

// At this place, as large as the client area's twips at the current scale
// call for. The frame's size for a DPI is asked of Windows, and what the
// window then holds is checked: a frame drawn at another scale than the one
// asked for (Wine draws every frame at the system's) takes its room from the
// frame, not from the pages.
void MainForm::PlaceWindow(POINT at) {
    SIZE size = WindowSize();
    ::SetWindowPos(hwnd_, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    if (!::GetClientRect(hwnd_, &client)) return;
    const int missingX = twips_.PxX(kClientWidthTwips) - client.right;
    const int missingY = twips_.PxY(kClientHeightTwips) - client.bottom;
    if (missingX != 0 || missingY != 0)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx + missingX, size.cy + missingY,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The scale, and the dialog's font at it.
void MainForm::SetScale(const TwipsScale& twips) {
    twips_ = twips;
    font_.reset(::CreateFontW(FontHeightForDpi(kFontPoints, twips_.Dpi()), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                              L"MS Shell Dlg"));
}

// The window's outer size for the client area's twips at the current scale.
SIZE MainForm::WindowSize() const {
    RECT r{0, 0, twips_.PxX(kClientWidthTwips), twips_.PxY(kClientHeightTwips)};
    AdjustWindowRectForDpi(r, kStyle, kExStyle, twips_.Dpi());
    return {r.right - r.left, r.bottom - r.top};
}

// Moved to a monitor of another scale, or the scale changed: every control
// is placed again from its twips, with the font and pictures for the new
// DPI, and the window goes where Windows proposes.
void MainForm::OnDpiChanged(int dpi, const RECT& suggested) {
    if (dpi <= 0 || dpi == twips_.Dpi()) return;
    UniqueFont oldFont = std::move(font_);
    SetScale(TwipsScale::FromDpi(dpi, dpi));
    if (configuring_) {
        LayOutAgain(hwnd_, twips_, oldFont.get(), font_.get());
        pollingPage_->SetColumnWidths(twips_.PxX(kSaverPageWidth / 2));
        positionPage_->DpiChanged();
        aboutPage_->DpiChanged();
        TabStrip1_Click();  // the shown page where it belongs, the others parked
    }
    PlaceWindow({suggested.left, suggested.top});
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace vl
