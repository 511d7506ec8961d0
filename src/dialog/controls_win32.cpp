#include "dialog/controls_win32.h"

#include <vector>

#include "dialog/twips_layout.h"
#include "platform/win32_util.h"
#include "platform/win32_window.h"

namespace vl {
namespace {

constexpr wchar_t kPageClass[] = L"Vigilumen.Page";

// One dialog per process: its controls' geometry, for a change of DPI.
TwipsLayout& Layout() {
    static TwipsLayout layout;
    return layout;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace

LRESULT PageHandler::FrameMessage(HWND frame, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
        case WM_NOTIFY: return OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // Labels and buttons on a page take the page's colour.
            ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        default: return ::DefWindowProcW(frame, msg, wp, lp);
    }
}

RECT ToPixels(const TwipsScale& twips, const TwipsRect& r) {
    const int left = twips.PxX(r.left), top = twips.PxY(r.top);
    return {left, top, left + twips.PxX(r.width), top + twips.PxY(r.height)};
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, const TwipsRect& at, int id,
                   HFONT font, const TwipsScale& twips, DWORD exStyle) {
    const RECT r = ToPixels(twips, at);
    HWND control = ::CreateWindowExW(exStyle, className, text, WS_CHILD | style, r.left, r.top, r.right - r.left,
                                     r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!control) return nullptr;
    if (font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Layout().Place(Key(control), at, Key(font));
    return control;
}

void MoveControl(HWND control, const TwipsScale& twips, const TwipsRect& at) {
    const RECT r = ToPixels(twips, at);
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout().Place(Key(control), at);
}

void LayOutAgain(HWND form, const TwipsScale& twips, HFONT oldFont, HFONT newFont) {
    Layout().ForgetIf([form](std::uintptr_t control) {
        HWND hwnd = reinterpret_cast<HWND>(control);
        return !::IsWindow(hwnd) || !::IsChild(form, hwnd);
    });
    for (const TwipsLayout::Entry& e : Layout().Entries()) {
        HWND control = reinterpret_cast<HWND>(e.control);
        const RECT r = ToPixels(twips, e.at);
        ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (e.font && e.font == Key(oldFont))
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(newFont), TRUE);
    }
    Layout().ReplaceFont(Key(oldFont), Key(newFont));
}

HWND CreatePageFrame(HWND form, PageHandler* handler, const TwipsScale& twips, const TwipsRect& at) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(form, GWLP_HINSTANCE));
    if (!RegisterObjectWindowClass<PageHandler, &PageHandler::FrameMessage>(
            instance, kPageClass, {.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}))
        return nullptr;
    const RECT r = ToPixels(twips, at);
    HWND frame = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                   r.left, r.top, r.right - r.left, r.bottom - r.top, form, nullptr, instance, handler);
    if (frame) Layout().Place(Key(frame), at);
    // Above the tab strip, which is its sibling.
    ::SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return frame;
}

std::string ControlText(HWND control) { return WindowTextOf(control); }

void SetControlText(HWND control, const std::string& text) { ::SetWindowTextW(control, Wide(text).c_str()); }

void SetControlText(HWND control, const wchar_t* text) { ::SetWindowTextW(control, text); }

bool IsChecked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
    ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int ListBoxAddString(HWND list, const std::string& text) {
    const std::wstring wide = Wide(text);
    return static_cast<int>(::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

std::string ListBoxText(HWND list, int index) {
    const LRESULT n = ::SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (n == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got = ::SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return Narrow(text);
}

}  // namespace vl
