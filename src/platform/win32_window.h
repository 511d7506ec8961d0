// The one way the program registers a window class: each window belongs to
// one C++ object, passed as the creation parameter, and every message goes to
// a member of it.
#pragma once

#include "platform/win32_api.h"

namespace vl {

struct WindowClassLook {
    UINT style = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;  // nullptr: the arrow
    HBRUSH background = nullptr;
};

// Registers the class unless this process already did; false when it is not
// registered afterwards.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, const WindowClassLook& look);

// The object is kept with the window from WM_NCCREATE on; WM_NCDESTROY is
// the last message it sees.
template <typename T, LRESULT (T::*Handler)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK ObjectWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return (self->*Handler)(hwnd, msg, wp, lp);
}

template <typename T, LRESULT (T::*Handler)(HWND, UINT, WPARAM, LPARAM) = &T::HandleMessage>
bool RegisterObjectWindowClass(HINSTANCE instance, const wchar_t* name, const WindowClassLook& look = {}) {
    return RegisterWindowClass(instance, name, &ObjectWindowProc<T, Handler>, look);
}

}  // namespace vl
