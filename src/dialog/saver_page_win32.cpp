#include "dialog/saver_page_win32.h"

#include <iterator>
#include <vector>

#include "host/host_win32.h"
#include "host/launch.h"
#include "platform/win32_handles.h"

namespace vl {
namespace {

enum ControlId : int { kVisibleList = 200, kPathList = 201, kSettingsButton = 202 };

// Savers are looked at as data only: loading them as modules would run their
// code in this program, and a bare name would follow the DLL search order.
class Win32SaverScan final : public SaverFolderScan {
public:
    bool IsThisProgram(const std::string& path) override { return vl::IsThisProgram(path); }
    std::vector<std::string> SaverFiles(const std::string& folder) override {
        std::vector<std::string> files;
        WIN32_FIND_DATAW found{};
        UniqueFind find(::FindFirstFileW(Wide(folder + "\\*.scr").c_str(), &found));
        if (!find) return files;
        do {
            const DWORD skip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if (!(found.dwFileAttributes & skip))
                files.push_back(NarrowUpToNul(found.cFileName, std::size(found.cFileName)));
        } while (::FindNextFileW(find.get(), &found));
        return files;
    }

    std::optional<std::string> Description(const std::string& path) override {
        const std::wstring widePath = Wide(path);
        UniqueModule file(
            ::LoadLibraryExW(widePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        if (!file) file.reset(::LoadLibraryExW(widePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!file) return std::nullopt;
        // Counted in characters; a count of zero would ask for a pointer into the resource instead.
        wchar_t text[kMaxSaverNameLength + 1] = {};
        const int n = ::LoadStringW(file.get(), 1, text, static_cast<int>(std::size(text)));
        if (n <= 0) return std::nullopt;
        return Narrow(std::wstring_view(text, static_cast<size_t>(n)));
    }
};

}  // namespace

void SaverPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageShownLeft, 495, kSaverPageWidth, kPageHeight - 45});
    list_ = CreateControl(frame_, L"LISTBOX", L"",
                          WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          {90, 180, 3345, 4350}, kVisibleList, font, t, WS_EX_CLIENTEDGE);
    paths_ = CreateControl(frame_, L"LISTBOX", L"", 0, {90, 180, 3345, 4350}, kPathList, font, t);
    settings_ = CreateControl(frame_, L"BUTTON", L"Settings...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                              {3510, 180, 1035, 375}, kSettingsButton, font, t);
}

void SaverPage::ShowList() {
    RuntimeState& state = host_.State();
    if (!state.host.SaverNames) state.host.SaverNames.emplace();
    Win32SaverScan scan;
    SaverList list = BuildSaverList(scan, ThisSaverFolders(), state.host.ScreenSaverPath, *state.host.SaverNames);
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const int at = ListBoxAddString(list_, list.entries[i].name);
        ListBoxAddString(paths_, list.entries[i].path);
        if (at >= 0) ListBox_SetItemData(list_, at, static_cast<LPARAM>(i));
    }
    if (list.currentIndex < 0) return;
    const int count = static_cast<int>(::SendMessageW(list_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (static_cast<int>(ListBox_GetItemData(list_, i)) == list.currentIndex) {
            ::SendMessageW(list_, LB_SETCURSEL, i, 0);
            lst_Click(0);  // as the list's own click would
            break;
        }
    }
    host_.SetDirty(false);
}

bool SaverPage::SelectFirstIfNone() {
    if (::SendMessageW(list_, LB_GETCOUNT, 0, 0) <= 0 || ::SendMessageW(list_, LB_GETCURSEL, 0, 0) != LB_ERR)
        return false;
    ::SendMessageW(list_, LB_SETCURSEL, 0, 0);
    lst_Click(0);  // counts as the user's choice
    return true;
}

void SaverPage::ReadChoice(DialogChoices& choices) const {
    const LRESULT selected = ::SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        choices.saver = DialogChoices::Saver::NotSelected;
        return;
    }
    const int k = static_cast<int>(ListBox_GetItemData(list_, static_cast<int>(selected)));
    if (k < 0) {
        choices.saver = DialogChoices::Saver::NoSaver;
        return;
    }
    choices.saver = DialogChoices::Saver::Path;
    choices.saverPath = ListBoxText(paths_, k);
}

void SaverPage::OnCommand(int id, int code, HWND) {
    if (id == kVisibleList && code == LBN_SELCHANGE) lst_Click(0);
    if (id == kSettingsButton && code == BN_CLICKED) Command1_Click();
}

void SaverPage::lst_Click(int index) {
    if (index == 0) host_.SetDirty(true);
}

void SaverPage::Command1_Click() {
    const LRESULT selected = ::SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    const int k = static_cast<int>(ListBox_GetItemData(list_, static_cast<int>(selected)));
    if (k < 0) return;
    PROCESS_INFORMATION pi{};
    // A saver that cannot be started changes nothing; the handles are not needed.
    if (CreateSaverProcess(ListBoxText(paths_, k), "/c", SW_SHOWNORMAL, pi)) UniqueProcessInformation discard(pi);
}

}  // namespace vl
