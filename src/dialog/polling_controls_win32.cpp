#include "dialog/polling_controls_win32.h"

#include <algorithm>

#include "dialog/controls_win32.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "watch/watch_win32.h"

namespace vl {
namespace {

constexpr wchar_t kMessageTitle[] = L"Corvane Vigilumen";
constexpr wchar_t kIconNotLoaded[] = L"File couldn't be loaded";

LPARAM RowParam(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ::SendMessageW(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1;
}

void Show(HWND control, bool shown) { ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE); }

}  // namespace

// The editor may ask while the form is torn down.
int AppListView::Count() const { return ::IsWindow(list_) ? ListView_GetItemCount(list_) : 0; }

const AppListRow* AppListView::RowOf(LPARAM id) const {
    const auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : &found->second;
}

AppListRow AppListView::Read(int index) const {
    const AppListRow* stored = RowOf(RowParam(list_, index));
    AppListRow row = stored ? *stored : AppListRow{};
    row.checked = ListView_GetCheckState(list_, index) != 0;
    return row;
}

void AppListView::Write(int index, const AppListRow& row) {
    const auto found = rows_.find(RowParam(list_, index));
    if (found == rows_.end()) return;
    const std::string key = found->second.key;  // the key stays with the row
    found->second = row;
    found->second.key = key;
    ListView_RedrawItems(list_, index, index);
}

int AppListView::Insert(int at, const AppListRow& row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = at;
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.lParam = nextRowId_++;
    rows_[item.lParam] = row;  // before the insert: the list may ask for its text at once
    const int inserted = static_cast<int>(::SendMessageW(list_, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) {
        rows_.erase(item.lParam);
        return inserted;
    }
    // A new row's box is clear: only a ticked one costs a second message.
    if (row.checked) ListView_SetCheckState(list_, inserted, TRUE);
    return inserted;
}

void AppListView::Delete(int index) {
    const LPARAM id = RowParam(list_, index);
    ListView_DeleteItem(list_, index);
    rows_.erase(id);
}

void AppListView::Clear() {
    ListView_DeleteAllItems(list_);
    rows_.clear();
}

void AppListView::FillCell(NMHDR* header) const {
    if (header->code != LVN_GETDISPINFOW) return;
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    const AppListRow* row = RowOf(item.lParam ? item.lParam : RowParam(list_, item.iItem));
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (!row) return;
    if (item.iSubItem < 0 || item.iSubItem > static_cast<int>(row->subItems.size())) return;
    const std::string& text = item.iSubItem == 0 ? row->text : row->subItems[item.iSubItem - 1];
    // Copied into the list's own buffer: the wide text lives only for this call.
    const std::wstring wide = Wide(text);
    size_t n = std::min(wide.size(), static_cast<size_t>(item.cchTextMax) - 1);
    // A cut between the two halves of a surrogate pair would leave half a character.
    if (n < wide.size() && n > 0 && IS_HIGH_SURROGATE(wide[n - 1])) --n;
    std::copy_n(wide.begin(), n, item.pszText);
    item.pszText[n] = L'\0';
}

void AppListView::BeginFill(int rows) {
    ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemCountEx(list_, rows, LVSICF_NOINVALIDATEALL);
}

void AppListView::EndFill() {
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list_, nullptr, TRUE);
}

void AppListView::Select(int index) {
    if (index < 0 || index >= ListView_GetItemCount(list_)) return;
    ListView_SetItemState(list_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, index, FALSE);
}

int AppListView::Selected() const {
    if (!::IsWindow(list_)) return -1;
    return ListView_GetNextItem(list_, -1, LVNI_SELECTED);
}

void AppListView::FocusList() { ::SetFocus(list_); }

void EditorBoxes::ShowProgramIcon(HINSTANCE instance) {
    SetIcon(
        UniqueIcon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCE(IDI_VIGILUMEN), IMAGE_ICON, 32, 32, 0))));
}

std::string EditorBoxes::Name() const { return ControlText(h_.name); }

void EditorBoxes::SetName(const std::string& text) { SetControlText(h_.name, text); }

std::string EditorBoxes::Text() const { return ControlText(h_.text); }

void EditorBoxes::SetText(const std::string& text) { SetControlText(h_.text, text); }

bool EditorBoxes::OptionChecked(int method) const { return IsChecked(h_.options.at(method)); }

void EditorBoxes::ShowMethod(int method, const MethodControls& look) {
    for (int i = 0; i < kMethodCount; ++i) SetChecked(h_.options[i], i == method);
    if (look.labelShown) SetControlText(h_.textLabel, std::string(look.labelCaption));
    Show(h_.textLabel, look.labelShown);
    if (look.textEmptied) SetControlText(h_.text, L"");
    Show(h_.text, look.textShown);
    if (look.browseShown) SetControlText(h_.fileBrowse, std::string(look.browseCaption));
    Show(h_.fileBrowse, look.browseShown);
}

void EditorBoxes::MethodFrameEnabled(bool enabled) {
    for (HWND control : {h_.methodFrame, h_.textLabel, h_.text, h_.fileBrowse}) ::EnableWindow(control, enabled);
    // The mail method is never chosen by hand.
    for (int m = 0; m < kMethodCount; ++m) ::EnableWindow(h_.options[m], enabled && m != kMethodInternal);
}

void EditorBoxes::RemoveEnabled(bool enabled) { ::EnableWindow(h_.remove, enabled); }

void EditorBoxes::IconBrowseEnabled(bool enabled) { ::EnableWindow(h_.iconBrowse, enabled); }

bool EditorBoxes::ShowIcon(const std::string& path) {
    UniqueIcon icon;
    if (!path.empty()) {
        icon.reset(static_cast<HICON>(
            ::LoadImageW(nullptr, Wide(path).c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
        if (!icon) return false;
    }
    SetIcon(std::move(icon));
    return !path.empty();
}

void EditorBoxes::SetIcon(UniqueIcon icon) {
    // The control must let go of the old icon before it is destroyed.
    ::SendMessageW(h_.icon, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
    icon_ = std::move(icon);
}

void EditorBoxes::ShowError(const EditorError& error) {
    MessageToUser(Wide(ErrorText(error)).c_str(), MB_ICONEXCLAMATION | MB_OK);
}

void EditorBoxes::IconNotLoaded() { MessageToUser(kIconNotLoaded, MB_ICONERROR | MB_OK); }

void EditorBoxes::MessageToUser(const wchar_t* text, UINT style) const {
    ::MessageBoxW(h_.form, text, kMessageTitle, style);
}

void EditorBoxes::Beep() { ::MessageBeep(MB_OK); }

void EditorBoxes::FocusName() {
    ::SendMessageW(h_.name, EM_SETSEL, 0, -1);
    ::SetFocus(h_.name);
}

bool EditorBoxes::FocusIsInsideForm() const {
    HWND focus = ::GetFocus();
    return focus && ::IsChild(h_.form, focus);
}

bool EditorBoxes::FileExists(const std::string& path) const { return IsExistingFile(path); }

std::optional<std::string> EditorBoxes::FileDate(const std::string& path) const {
    return FileModifiedGeneralDate(path);
}

long long EditorBoxes::MsSinceMidnight() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return ((now.wHour * 60LL + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
}

}  // namespace vl
