#include "dialog/record_box_win32.h"

#include "dialog/app_editor.h"
#include "dialog/controls_win32.h"
#include "platform/win32_system_dll.h"

namespace vl {
namespace {

constexpr UINT_PTR kSubclassId = 1;

class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) ::CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    [[nodiscard]] bool open() const { return open_; }

private:
    bool open_;
};

bool ClipboardHasSemicolon(HWND owner) {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return false;
    OpenedClipboard clipboard(owner);
    if (!clipboard.open()) return false;
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
    if (!text) return false;
    // Bounded by the block's size: another program's text may lack its NUL.
    const bool found = !FitsInRecord(NarrowUpToNul(text, ::GlobalSize(data) / sizeof(wchar_t)));
    ::GlobalUnlock(data);
    return found;
}

}  // namespace

void RecordBox::Attach(HWND edit, std::function<void()> onKeyUp) {
    edit_ = edit;
    accepted_ = ControlText(edit);
    onKeyUp_ = std::move(onKeyUp);
    static const auto subclass = SystemFunction<decltype(&::SetWindowSubclass)>(L"comctl32.dll", "SetWindowSubclass");
    if (subclass) subclass(edit, Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void RecordBox::OnChange() {
    const std::string text = ControlText(edit_);
    if (FitsInRecord(text)) {
        accepted_ = text;
        return;
    }
    ::MessageBeep(MB_OK);
    const std::string good = accepted_;  // setting the text reports a change again
    SetControlText(edit_, good);
    const size_t end = Wide(good).size();  // the caret counts UTF-16 units
    ::SendMessageW(edit_, EM_SETSEL, end, end);
}

namespace {

// The edit box's own procedure, under the subclass.
LRESULT DefaultProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp) {
    static const auto next = SystemFunction<decltype(&::DefSubclassProc)>(L"comctl32.dll", "DefSubclassProc");
    return next ? next(edit, msg, wp, lp) : ::DefWindowProcW(edit, msg, wp, lp);
}

}  // namespace

LRESULT CALLBACK RecordBox::Proc(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self) {
    switch (msg) {
        case WM_CHAR:
            if (wp == ';') {
                ::MessageBeep(MB_OK);
                return 0;
            }
            break;
        case WM_PASTE:
            if (ClipboardHasSemicolon(edit)) {
                ::MessageBeep(MB_OK);
                return 0;
            }
            break;
        case WM_KEYUP: {
            const LRESULT result = DefaultProc(edit, msg, wp, lp);
            if (auto* box = reinterpret_cast<RecordBox*>(self); box->onKeyUp_) box->onKeyUp_();
            return result;
        }
        case WM_NCDESTROY: {
            static const auto remove =
                SystemFunction<decltype(&::RemoveWindowSubclass)>(L"comctl32.dll", "RemoveWindowSubclass");
            if (remove) remove(edit, Proc, id);
            break;
        }
        default: break;
    }
    return DefaultProc(edit, msg, wp, lp);
}

}  // namespace vl
