#include "SaverWindow.h"

#include <windowsx.h>

#include <cstdlib>

namespace demosaver {
namespace {

constexpr char kClassName[] = "VigilumenDemoSaver";

constexpr UINT kFrameMilliseconds = 33;
constexpr double kFrameSeconds = kFrameMilliseconds / 1000.0;

// A nudge of the desk or a trembling hand should not end the show.
constexpr int kMouseSlack = 4;

}  // namespace

bool SaverWindow::RegisterClassOnce(HINSTANCE instance)
{
    WNDCLASSEXA wc{};
    if (GetClassInfoExA(instance, kClassName, &wc))
        return true;
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &SaverWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;  // we paint every pixel ourselves
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0;
}

int SaverWindow::RunFullScreen(HINSTANCE instance)
{
    if (!RegisterClassOnce(instance))
        return 1;
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        x = y = 0;
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }

    SaverWindow saver(Kind::FullScreen, nullptr);
    ShowCursor(FALSE);
    // WS_CLIPCHILDREN: a window placed inside ours (a notification host's
    // icons) is not painted over by every frame.
    const HWND window = CreateWindowExA(WS_EX_TOPMOST, kClassName, "Vigilumen Demo",
                                        WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                                        width, height, nullptr, nullptr, instance, &saver);
    const int code = window ? PumpMessages() : 1;
    if (saver.window_)
        DestroyWindow(saver.window_);  // a stray WM_QUIT must not outlive us
    ShowCursor(TRUE);
    return code;
}

int SaverWindow::RunPreview(HINSTANCE instance, HWND parent)
{
    if (!IsWindow(parent) || !RegisterClassOnce(instance))
        return 0;
    RECT area{};
    GetClientRect(parent, &area);

    SaverWindow saver(Kind::Preview, parent);
    const HWND window = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, area.right - area.left,
                                        area.bottom - area.top, parent, nullptr, instance, &saver);
    const int code = window ? PumpMessages() : 0;
    if (saver.window_)
        DestroyWindow(saver.window_);
    return code;
}

int SaverWindow::PumpMessages()
{
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK SaverWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SaverWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<SaverWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<SaverWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT SaverWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_SIZE: return OnSize(LOWORD(lParam), HIWORD(lParam));
    case WM_TIMER: return OnTimer(static_cast<TimerId>(wParam));
    case WM_ERASEBKGND: return OnEraseBackground();
    case WM_PAINT: return OnPaint();
    case WM_SETCURSOR: return OnSetCursor(wParam, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam, lParam);
    case WM_KEYDOWN: return OnUserInput(message, wParam, lParam);
    case WM_SYSKEYDOWN: return OnUserInput(message, wParam, lParam);
    case WM_LBUTTONDOWN: return OnUserInput(message, wParam, lParam);
    case WM_RBUTTONDOWN: return OnUserInput(message, wParam, lParam);
    case WM_MBUTTONDOWN: return OnUserInput(message, wParam, lParam);
    case WM_XBUTTONDOWN: return OnUserInput(message, wParam, lParam);
    case WM_MOUSEWHEEL: return OnUserInput(message, wParam, lParam);
    case WM_MOUSEHWHEEL: return OnUserInput(message, wParam, lParam);
    case WM_ACTIVATEAPP: return OnActivateApp(wParam != FALSE, wParam, lParam);
    case WM_SYSCOMMAND: return OnSysCommand(wParam, lParam);
    case WM_DESTROY: return OnDestroy();
    case WM_NCDESTROY: return OnNcDestroy();
    default: return DefWindowProcA(window_, message, wParam, lParam);
    }
}

LRESULT SaverWindow::OnCreate()
{
    timerRunning_ = SetTimer(window_, static_cast<UINT_PTR>(TimerId::Animate), kFrameMilliseconds, nullptr) != 0;
    return timerRunning_ ? 0 : -1;
}

LRESULT SaverWindow::OnSize(int width, int height)
{
    if (width > 0 && height > 0 && (width != sky_.width() || height != sky_.height()))
        sky_.Resize(width, height);
    return 0;
}

LRESULT SaverWindow::OnTimer(TimerId id)
{
    if (id != TimerId::Animate)
        return 0;
    // The preview box may vanish without telling its children in time.
    if (kind_ == Kind::Preview && !IsWindow(parent_)) {
        DestroyWindow(window_);
        return 0;
    }
    sky_.Step(kFrameSeconds);
    InvalidateRect(window_, nullptr, FALSE);
    return 0;
}

LRESULT SaverWindow::OnEraseBackground()
{
    return 1;  // every pixel is painted from the frame buffer; erasing would flicker
}

LRESULT SaverWindow::OnPaint()
{
    PaintScope paint(window_);
    sky_.Render();
    if (sky_.dc()) {
        BitBlt(paint.dc(), 0, 0, sky_.width(), sky_.height(), sky_.dc(), 0, 0, SRCCOPY);
    } else {
        RECT area{};
        GetClientRect(window_, &area);
        FillRect(paint.dc(), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    return 0;
}

LRESULT SaverWindow::OnSetCursor(WPARAM wParam, LPARAM lParam)
{
    if (!Touchy())
        return DefWindowProcA(window_, WM_SETCURSOR, wParam, lParam);
    SetCursor(nullptr);
    return TRUE;
}

LRESULT SaverWindow::OnMouseMove(int x, int y, WPARAM wParam, LPARAM lParam)
{
    if (!Touchy())
        return DefWindowProcA(window_, WM_MOUSEMOVE, wParam, lParam);
    // Windows sends one move when the window appears; it only sets where the
    // pointer rests.
    if (!haveMouseOrigin_) {
        mouseOrigin_ = POINT{x, y};
        haveMouseOrigin_ = true;
        return 0;
    }
    if (std::abs(x - mouseOrigin_.x) > kMouseSlack || std::abs(y - mouseOrigin_.y) > kMouseSlack)
        Finish();
    return 0;
}

LRESULT SaverWindow::OnUserInput(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Touchy())
        return DefWindowProcA(window_, message, wParam, lParam);
    Finish();
    return 0;
}

LRESULT SaverWindow::OnActivateApp(bool active, WPARAM wParam, LPARAM lParam)
{
    if (!Touchy())
        return DefWindowProcA(window_, WM_ACTIVATEAPP, wParam, lParam);
    // Only a loss after a gain counts: without a window manager the first
    // activation may never arrive, and that must not end the run.
    if (active)
        everActive_ = true;
    else if (everActive_)
        Finish();
    return 0;
}

LRESULT SaverWindow::OnSysCommand(WPARAM wParam, LPARAM lParam)
{
    // Already saving the screen: don't let Windows start another saver.
    if (Touchy() && (wParam & 0xFFF0) == SC_SCREENSAVE)
        return 0;
    return DefWindowProcA(window_, WM_SYSCOMMAND, wParam, lParam);
}

LRESULT SaverWindow::OnDestroy()
{
    if (timerRunning_) {
        KillTimer(window_, static_cast<UINT_PTR>(TimerId::Animate));
        timerRunning_ = false;
    }
    PostQuitMessage(0);
    return 0;
}

LRESULT SaverWindow::OnNcDestroy()
{
    const HWND window = window_;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    window_ = nullptr;
    return DefWindowProcA(window, WM_NCDESTROY, 0, 0);
}

void SaverWindow::Finish()
{
    if (finishing_)
        return;
    finishing_ = true;
    DestroyWindow(window_);
}

}  // namespace demosaver
