#include "platform/win32_window.h"

namespace vl {

bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc, const WindowClassLook& look) {
    WNDCLASSEXA wc{};
    if (::GetClassInfoExA(instance, name, &wc)) return true;
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = look.style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = look.icon;
    wc.hIconSm = look.smallIcon;
    wc.hCursor = look.cursor ? look.cursor : ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = look.background;
    wc.lpszClassName = name;
    return ::RegisterClassExA(&wc) != 0;
}

}  // namespace vl
