#include "dialog/common_dialog_win32.h"

#include <commdlg.h>

#include <vector>

#include "dialog/app_editor.h"

namespace vl {

CommonDialog::Outcome CommonDialog::ShowOpen(HWND owner) {
    constexpr DWORD kFileNameChars = 4096;
    std::vector<char> file(kFileNameChars, '\0');
    FileName.copy(file.data(), file.size() - 1);
    const std::string filter = DialogFilter(Filter);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileNameChars;
    ofn.lpstrInitialDir = InitDir.empty() ? nullptr : InitDir.c_str();
    // Existence is not checked here: a typed name of a missing file gets the
    // caller's own answer.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameA(&ofn)) return ::CommDlgExtendedError() == 0 ? Outcome::kCancelled : Outcome::kFailed;
    FileName = file.data();
    return Outcome::kChosen;
}

}  // namespace vl
