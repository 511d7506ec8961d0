#include "saver_window_win32.h"

#include <windowsx.h>

#include <cstdlib>

#include "platform/win32_window.h"

namespace demosaver {
namespace {

constexpr wchar_t kClassName[] = L"VigilumenDemoSaver";

constexpr UINT kFrameMilliseconds = 33;
constexpr double kFrameSeconds = kFrameMilliseconds / 1000.0;

// A nudge of the desk or a trembling hand should not end the show.
constexpr int kMouseSlack = 4;

// Every monitor; the primary one where the system cannot tell.
RECT VirtualScreen() {
    const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return {x, y, x + width, y + height};
}

}  // namespace

bool SaverWindow::RegisterClassOnce(HINSTANCE instance) {
    // No background brush: every pixel is painted from the frame.
    return vl::RegisterObjectWindowClass<SaverWindow>(instance, kClassName);
}

int SaverWindow::RunFullScreen(HINSTANCE instance) {
    if (!RegisterClassOnce(instance)) return 1;
    const RECT screen = VirtualScreen();
    SaverWindow saver(Kind::FullScreen, nullptr);
    ::ShowCursor(FALSE);
    // WS_CLIPCHILDREN: a window placed inside ours (a notification host's
    // icons) is not painted over by every frame.
    vl::UniqueWindow window(::CreateWindowExW(WS_EX_TOPMOST, kClassName, L"Vigilumen Demo",
                                              WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, screen.left, screen.top,
                                              screen.right - screen.left, screen.bottom - screen.top, nullptr,
                                              nullptr, instance, &saver));
    const int code = window ? PumpMessages() : 1;
    window.reset();  // a stray WM_QUIT must not leave the window behind
    ::ShowCursor(TRUE);
    return code;
}

int SaverWindow::RunPreview(HINSTANCE instance, HWND parent) {
    if (!::IsWindow(parent) || !RegisterClassOnce(instance)) return 0;
    RECT area{};
    ::GetClientRect(parent, &area);
    SaverWindow saver(Kind::Preview, parent);
    const vl::UniqueWindow window(::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                                    area.right - area.left, area.bottom - area.top, parent, nullptr,
                                                    instance, &saver));
    return window ? PumpMessages() : 0;
}

int SaverWindow::PumpMessages() {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT SaverWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) hwnd_ = hwnd;
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE: return OnSize(LOWORD(lp), HIWORD(lp));
        case WM_TIMER: return OnTimer(wp);
        case WM_ERASEBKGND: return 1;  // every pixel is painted from the frame; erasing would flicker
        case WM_PAINT: return OnPaint();
        case WM_SETCURSOR: return OnSetCursor(wp, lp);
        case WM_MOUSEMOVE: return OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), wp, lp);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL: return OnUserInput(msg, wp, lp);
        case WM_ACTIVATEAPP: return OnActivateApp(wp != FALSE, wp, lp);
        case WM_SYSCOMMAND: return OnSysCommand(wp, lp);
        case WM_DESTROY: return OnDestroy();
        case WM_NCDESTROY: return OnNcDestroy(wp, lp);
        default: return ::DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

LRESULT SaverWindow::OnCreate() {
    animation_.reset(::SetTimer(hwnd_, kAnimateTimer, kFrameMilliseconds, nullptr), vl::TimerCloser{hwnd_});
    return animation_ ? 0 : -1;
}

LRESULT SaverWindow::OnSize(int width, int height) {
    if (width > 0 && height > 0 && (width != sky_.width() || height != sky_.height())) sky_.Resize(width, height);
    return 0;
}

LRESULT SaverWindow::OnTimer(UINT_PTR id) {
    if (id != kAnimateTimer) return 0;
    // The preview box may vanish without telling its children in time.
    if (kind_ == Kind::Preview && !::IsWindow(parent_)) {
        ::DestroyWindow(hwnd_);
        return 0;
    }
    sky_.Step(kFrameSeconds);
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    return 0;
}

LRESULT SaverWindow::OnPaint() {
    const vl::PaintDc paint(hwnd_);
    sky_.Render();
    if (sky_.dc()) {
        ::BitBlt(paint.get(), 0, 0, sky_.width(), sky_.height(), sky_.dc(), 0, 0, SRCCOPY);
    } else {
        RECT area{};
        ::GetClientRect(hwnd_, &area);
        ::FillRect(paint.get(), &area, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    return 0;
}

LRESULT SaverWindow::OnSetCursor(WPARAM wp, LPARAM lp) {
    if (!Touchy()) return ::DefWindowProcW(hwnd_, WM_SETCURSOR, wp, lp);
    ::SetCursor(nullptr);
    return TRUE;
}

LRESULT SaverWindow::OnMouseMove(int x, int y, WPARAM wp, LPARAM lp) {
    if (!Touchy()) return ::DefWindowProcW(hwnd_, WM_MOUSEMOVE, wp, lp);
    // Windows sends one move when the window appears; it only sets where the
    // pointer rests.
    if (!haveMouseOrigin_) {
        mouseOrigin_ = POINT{x, y};
        haveMouseOrigin_ = true;
        return 0;
    }
    if (std::abs(x - mouseOrigin_.x) > kMouseSlack || std::abs(y - mouseOrigin_.y) > kMouseSlack) Finish();
    return 0;
}

LRESULT SaverWindow::OnUserInput(UINT msg, WPARAM wp, LPARAM lp) {
    if (!Touchy()) return ::DefWindowProcW(hwnd_, msg, wp, lp);
    Finish();
    return 0;
}

LRESULT SaverWindow::OnActivateApp(bool active, WPARAM wp, LPARAM lp) {
    if (!Touchy()) return ::DefWindowProcW(hwnd_, WM_ACTIVATEAPP, wp, lp);
    // Only a loss after a gain counts: without a window manager the first
    // activation may never arrive, and that must not end the run.
    if (active)
        everActive_ = true;
    else if (everActive_)
        Finish();
    return 0;
}

LRESULT SaverWindow::OnSysCommand(WPARAM wp, LPARAM lp) {
    // Already saving the screen: don't let Windows start another saver.
    if (Touchy() && (wp & 0xFFF0) == SC_SCREENSAVE) return 0;
    return ::DefWindowProcW(hwnd_, WM_SYSCOMMAND, wp, lp);
}

LRESULT SaverWindow::OnDestroy() {
    animation_.reset();
    ::PostQuitMessage(0);
    return 0;
}

LRESULT SaverWindow::OnNcDestroy(WPARAM wp, LPARAM lp) {
    const HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, WM_NCDESTROY, wp, lp);
}

void SaverWindow::Finish() {
    if (finishing_) return;
    finishing_ = true;
    ::DestroyWindow(hwnd_);
}

}  // namespace demosaver
