#include "platform/win32_window.h"

namespace vl {

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, const WindowClassLook& look) {
    WNDCLASSEXW wc{};
    if (::GetClassInfoExW(instance, name, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = look.style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = look.icon;
    wc.hIconSm = look.smallIcon;
    wc.hCursor = look.cursor ? look.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = look.background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

}  // namespace vl
