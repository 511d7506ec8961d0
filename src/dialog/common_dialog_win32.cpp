#include "dialog/common_dialog_win32.h"

#include <algorithm>
#include <vector>

#include "dialog/app_editor.h"
#include "platform/win32_system_dll.h"

namespace vl {

CommonDialog::Outcome CommonDialog::ShowOpen(HWND owner) {
    constexpr DWORD kFileNameChars = 4096;
    std::vector<wchar_t> file(kFileNameChars, L'\0');
    const std::wstring initialName = Wide(FileName);
    std::copy_n(initialName.begin(), std::min(initialName.size(), file.size() - 1), file.begin());
    // The filter holds NULs between its texts: converted by its length, not up to its first NUL.
    const std::wstring filter = Wide(DialogFilter(Filter));
    const std::wstring initDir = Wide(InitDir);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileNameChars;
    ofn.lpstrInitialDir = initDir.empty() ? nullptr : initDir.c_str();
    // Existence is not checked here: a typed name of a missing file gets the
    // caller's own answer.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    static const auto open = SystemFunction<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    static const auto error = SystemFunction<decltype(&::CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError");
    if (!open || !error) return Outcome::kFailed;
    if (!open(&ofn)) return error() == 0 ? Outcome::kCancelled : Outcome::kFailed;
    FileName = NarrowUpToNul(file.data(), file.size());
    return Outcome::kChosen;
}

}  // namespace vl
