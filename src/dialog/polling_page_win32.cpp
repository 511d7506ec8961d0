#include "dialog/polling_page_win32.h"

#include <commctrl.h>

#include "core/data_folder.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "settings/watched_app.h"
#include "watch/watch_win32.h"

namespace vl {
namespace {

// cmdRow(i) has the id kAdd + i.
enum ControlId : int {
    kAppList = 300,
    kAdd = 301,
    kUpdate = 302,
    kReset = 303,
    kRemove = 304,
    kFrame3 = 305,
    kNameLabel = 306,
    kName = 307,
    kIconLabel = 308,
    kFrame5 = 309,
    kIcon = 310,
    kIconBrowse = 311,
    kFrame4 = 312,
    kOptFileUpdate = 313,  // optMethod(i) has the id kOptFileUpdate + i
    kOptWindow = 314,
    kOptInternal = 315,
    kTextLabel = 316,
    kText1 = 317,
    kFileBrowse = 318,
};

constexpr char kMessageTitle[] = "Corvane Vigilumen";
constexpr char kIconNotLoaded[] = "File couldn't be loaded";

// Two visible columns; six of zero width keep the row's copy of the record.
constexpr std::array<const char*, 8> kColumns = {"Application", "Polling method", "Method Id", "Icon",
                                                 "Text",        "Enabled",        "Data",      "Id"};

// cmdRow(0..3), left to right.
struct RowButton {
    int index;
    const char* caption;
    TwipsRect at;
};
constexpr std::array<RowButton, 4> kRowButtons = {{{0, "Add", {90, 2270, 960, 280}},
                                                   {3, "Remove", {1080, 2270, 960, 280}},
                                                   {1, "update", {3285, 2270, 735, 280}},
                                                   {2, "reset", {4050, 2270, 735, 280}}}};

// The editor's geometry is given relative to its frames; the controls all
// live on the page, so their places add up.
constexpr TwipsRect kFrame3At{90, 2520, 4695, 2445};
constexpr TwipsRect kFrame4In3{2070, 180, 2580, 2220};

constexpr TwipsRect Inside(const TwipsRect& box, const TwipsRect& r) {
    return {box.left + r.left, box.top + r.top, r.width, r.height};
}
constexpr TwipsRect kFrame4At = Inside(kFrame3At, kFrame4In3);
constexpr TwipsRect kFrame5At = Inside(kFrame3At, {585, 945, 960, 960});

void SetSubItem(HWND list, int row, int column, const std::string& text) {
    LVITEMA sub{};
    sub.iSubItem = column;
    sub.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
}

std::string SubItemText(HWND list, int row, int column) {
    for (size_t size = 512;; size *= 2) {
        std::string text(size, '\0');
        LVITEMA sub{};
        sub.iSubItem = column;
        sub.pszText = text.data();
        sub.cchTextMax = static_cast<int>(size);
        const auto n = static_cast<size_t>(::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub)));
        if (n + 1 < size) {
            text.resize(n);
            return text;
        }
    }
}

LPARAM RowParam(HWND list, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1;
}

void Show(HWND control, bool shown) { ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE); }

long long MillisecondsSinceMidnight() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return ((now.wHour * 60LL + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
}

}  // namespace

void PollingPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 450, kPageWidth, kPageHeight});
    // Rows are never renamed in the list itself: no LVS_EDITLABELS.
    lvAppList_ = CreateControl(frame_, WC_LISTVIEWA, "",
                               WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                               {90, 180, 4695, 2040}, kAppList, font, t, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(lvAppList_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<char*>(kColumns[i]);
        col.iSubItem = static_cast<int>(i);
        ::SendMessageA(lvAppList_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
    // Created left to right, which is also the tab order.
    for (const RowButton& b : kRowButtons)
        cmdRow_[b.index] = CreateControl(frame_, "BUTTON", b.caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, b.at,
                                         kAdd + b.index, font, t);
    CreateEditor(t, font);
    ::EnableWindow(cmdRow_[1], FALSE);
    ::EnableWindow(cmdRow_[2], FALSE);
}

void PollingPage::CreateEditor(const TwipsScale& t, HFONT font) {
    const DWORD box = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
    lbl_[0] = CreateControl(frame_, "STATIC", "Display name", WS_VISIBLE | SS_LEFT,
                            Inside(kFrame3At, {90, 180, 1050, 285}), kNameLabel, font, t);
    HWND name = CreateControl(frame_, "EDIT", kInitialName.data(), box, Inside(kFrame3At, {90, 405, 1905, 330}), kName,
                              font, t, WS_EX_CLIENTEDGE);
    lbl_[5] = CreateControl(frame_, "STATIC", "Icon", WS_VISIBLE | SS_LEFT, Inside(kFrame3At, {90, 810, 510, 240}),
                            kIconLabel, font, t);
    // The icon sits centred in the box; the box's top line is drawn half a
    // line of text below its top, hence the larger top margin.
    imgIcon_ = CreateControl(frame_, "STATIC", "", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE,
                             {kFrame5At.left + 45, kFrame5At.top + 135, kFrame5At.width - 90, kFrame5At.height - 180},
                             kIcon, font, t);
    Command3_ = CreateControl(frame_, "BUTTON", "Browse", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                              Inside(kFrame3At, {1035, 2025, 960, 285}), kIconBrowse, font, t);
    for (int i = 0; i < 3; ++i)
        optMethod_[i] = CreateControl(frame_, "BUTTON", std::string(MethodCaption(i)).c_str(),
                                      WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                                      Inside(kFrame4At, {90, 270.0 + 315 * i, 2400, 240}), kOptFileUpdate + i, font, t);
    lbl_[1] = CreateControl(frame_, "STATIC", "File name", WS_VISIBLE | WS_GROUP | SS_LEFT,
                            Inside(kFrame4At, {135, 1215, 2355, 240}), kTextLabel, font, t);
    HWND text = CreateControl(frame_, "EDIT", "", box, Inside(kFrame4At, {135, 1485, 2355, 285}), kText1, font, t,
                              WS_EX_CLIENTEDGE);
    cmdOpt_ = CreateControl(frame_, "BUTTON", "Browse", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                            Inside(kFrame4At, {1530, 1845, 960, 285}), kFileBrowse, font, t);

    // The boxes go in last and under everything, and clip what lies above
    // them, so that the outer box never paints over the inner ones' lines.
    const DWORD groupBox = WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX;
    frame3_ = CreateControl(frame_, "BUTTON", "", groupBox, kFrame3At, kFrame3, font, t);
    frame4_ = CreateControl(frame_, "BUTTON", "Polling method", groupBox, kFrame4At, kFrame4, font, t);
    frame5_ = CreateControl(frame_, "BUTTON", "", groupBox, kFrame5At, kFrame5, font, t);
    for (HWND frame : {frame5_, frame4_, frame3_})
        ::SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    txt0_.Attach(name, [this] { txt_KeyUp(); });
    Text1_.Attach(text, [this] { Text1_KeyUp(); });
    // Until a row is shown, the picture is the program's own icon.
    SetIcon(UniqueIcon(static_cast<HICON>(
                ::LoadImageA(host_.Instance(), MAKEINTRESOURCEA(IDI_VIGILUMEN), IMAGE_ICON, 32, 32, 0))),
            "");
    ::EnableWindow(optMethod_[kMethodInternal], FALSE);
}

void PollingPage::SetColumnWidths(int width) {
    ListView_SetColumnWidth(lvAppList_, 0, width);
    ListView_SetColumnWidth(lvAppList_, 1, width);
}

int PollingPage::InsertRow(int at, const AppListRow& row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = at;
    item.pszText = const_cast<char*>(row.text.c_str());
    item.lParam = nextRowId_++;
    const int inserted =
        static_cast<int>(::SendMessageA(lvAppList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) return inserted;
    rowKeys_[item.lParam] = row.key;
    for (int s = 0; s < static_cast<int>(row.subItems.size()); ++s)
        SetSubItem(lvAppList_, inserted, s + 1, row.subItems[s]);
    ListView_SetCheckState(lvAppList_, inserted, row.checked);
    return inserted;
}

void PollingPage::FillFromTable() {
    fillingRows_ = true;
    ListView_DeleteAllItems(lvAppList_);
    rowKeys_.clear();
    const std::vector<std::string>& table = host_.State().apps.AppTable;
    for (int n = 0; n < static_cast<int>(table.size()); ++n) InsertRow(n, RowOfRecord(table[n], n));
    fillingRows_ = false;
}

AppListRow PollingPage::ReadRow(int index) const {
    AppListRow row;
    const auto key = rowKeys_.find(RowParam(lvAppList_, index));
    if (key != rowKeys_.end()) row.key = key->second;
    row.text = SubItemText(lvAppList_, index, 0);
    row.checked = ListView_GetCheckState(lvAppList_, index) != 0;
    for (int s = 0; s < static_cast<int>(row.subItems.size()); ++s)
        row.subItems[s] = SubItemText(lvAppList_, index, s + 1);
    return row;
}

void PollingPage::WriteRow(int index, const AppListRow& row) {
    SetSubItem(lvAppList_, index, 0, row.text);
    for (int s = 0; s < static_cast<int>(row.subItems.size()); ++s)
        SetSubItem(lvAppList_, index, s + 1, row.subItems[s]);
}

void PollingPage::SelectRow(int index) {
    if (index < 0 || index >= ListView_GetItemCount(lvAppList_)) return;
    ListView_SetItemState(lvAppList_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(lvAppList_, index, FALSE);
}

int PollingPage::SelectedRow() const {
    // The editor may report its last focus change while the form is torn down.
    if (!::IsWindow(lvAppList_)) return -1;
    return ListView_GetNextItem(lvAppList_, -1, LVNI_SELECTED);
}

void PollingPage::ShowAppRow() {
    const int selected = SelectedRow();
    if (selected < 0) return;
    const RowView view = ViewOfRow(ReadRow(selected), host_.Folder());
    optMethod_Click(view.method);
    if (view.text) SetControlText(Text1_.get(), *view.text);
    ::EnableWindow(cmdRow_[3], view.removeEnabled);
    SetMethodFrameEnabled(view.methodFrameEnabled);
    SetControlText(txt0_.get(), view.name);

    UniqueIcon icon;
    if (!view.iconPath.empty() && FileExistsA(view.iconPath))
        icon.reset(static_cast<HICON>(
            ::LoadImageA(nullptr, view.iconPath.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
    // A file that is missing or holds no icon shows nothing and is forgotten.
    const std::string tag = icon ? view.iconPath : std::string();
    SetIcon(std::move(icon), tag);

    text1Tag_ = view.date;
    ::EnableWindow(cmdRow_[1], FALSE);
    ::EnableWindow(cmdRow_[2], FALSE);
    shownRow_ = selected;
    text1Edited_ = false;
}

EditorValues PollingPage::EditorContents() const {
    EditorValues v;
    v.name = ControlText(txt0_.get());
    v.text = ControlText(Text1_.get());
    v.textTag = text1Tag_;
    v.method = MethodOfOptions(IsChecked(optMethod_[kMethodFileUpdate]), IsChecked(optMethod_[kMethodWindow]));
    v.iconTag = iconTag_;
    return v;
}

// The row the editor shows; the same as the selected one, except while the
// list moves its selection, when the editor still holds the old row's text.
int PollingPage::EditorRow() const {
    if (shownRow_ >= 0 && ::IsWindow(lvAppList_) && shownRow_ < ListView_GetItemCount(lvAppList_)) return shownRow_;
    return SelectedRow();
}

void PollingPage::CommitAppRow() {
    const int row = EditorRow();
    if (row >= 0) CommitRow(row, EditorContents(), true);
}

bool PollingPage::CommitRow(int index, EditorValues values, bool fromEditor) {
    AppListRow row = ReadRow(index);
    const CommitResult result = CommitAppRecord(host_.State().apps.AppTable, index + 1, row, values);
    if (result.error) {
        ShowError(*result.error);
        return false;
    }
    if (result.appended && fromEditor) SetControlText(txt0_.get(), values.name);
    WriteRow(index, row);
    return true;
}

void PollingPage::optMethod_Click(int index) {
    for (int i = 0; i < 3; ++i) SetChecked(optMethod_[i], i == index);
    shownMethod_ = index;
    const MethodControls look = MethodControlsFor(index);
    if (look.labelShown) SetControlText(lbl_[1], std::string(look.labelCaption));
    Show(lbl_[1], look.labelShown);
    if (look.textEmptied) SetControlText(Text1_.get(), "");
    Show(Text1_.get(), look.textShown);
    Show(cmdOpt_, look.browseShown);
    if (host_.FillingControls()) return;
    CommitAppRow();
    host_.SetDirty(true);
}

void PollingPage::SetMethodFrameEnabled(bool enabled) {
    for (HWND control :
         {frame4_, optMethod_[kMethodFileUpdate], optMethod_[kMethodWindow], lbl_[1], Text1_.get(), cmdOpt_})
        ::EnableWindow(control, enabled);
    ::EnableWindow(optMethod_[kMethodInternal], FALSE);  // the mail method is never chosen by hand
}

void PollingPage::cmdRow_Click(int index) {
    switch (index) {
        case 0: AddRow(); break;
        case 3: RemoveRow(); break;
        default: break;  // "update" and "reset" are never enabled
    }
}

void PollingPage::AddRow() {
    RuntimeState& state = host_.State();
    const AppListRow row = NewAppRow(NewRecordId(MillisecondsSinceMidnight(), state.apps.AppTable));
    fillingRows_ = true;
    const int at = InsertRow(ListView_GetItemCount(lvAppList_), row);
    fillingRows_ = false;
    if (at < 0) return;

    host_.SetFillingControls(true);
    SelectRow(at);
    ShowAppRow();
    const bool stored = CommitRow(at, EditorContents(), true);
    if (!stored) {
        // A row without a record would shift every later commit.
        fillingRows_ = true;
        rowKeys_.erase(RowParam(lvAppList_, at));
        ListView_DeleteItem(lvAppList_, at);
        fillingRows_ = false;
        SelectRow(0);
        ShowAppRow();
    }
    host_.SetFillingControls(false);
    if (!stored) return;

    ::SendMessageA(txt0_.get(), EM_SETSEL, 0, -1);
    ::SetFocus(txt0_.get());
    host_.SetDirty(true);
}

void PollingPage::RemoveRow() {
    const int selected = SelectedRow();
    if (selected < 0) return;
    const AppListRow row = ReadRow(selected);
    if (!IsRemovableRow(row)) return;
    RemoveRecordWithId(host_.State().apps.AppTable, row.subItems[kColId], selected);

    fillingRows_ = true;
    rowKeys_.erase(RowParam(lvAppList_, selected));
    ListView_DeleteItem(lvAppList_, selected);
    fillingRows_ = false;

    host_.SetFillingControls(true);
    SelectRow(0);
    ::SetFocus(lvAppList_);
    ShowAppRow();
    host_.SetFillingControls(false);
    host_.SetDirty(true);
}

void PollingPage::lvAppList_Click() {
    host_.SetFillingControls(true);
    ShowAppRow();
    host_.SetFillingControls(false);
}

void PollingPage::lvAppList_ItemCheck(int item) {
    // The toggled row is committed, selected or not: a row that is not in
    // the editor is committed from its own columns.
    if (item == EditorRow())
        CommitRow(item, EditorContents(), true);
    else
        CommitRow(item, ValuesOfRow(ReadRow(item)), false);
    host_.State().apps.AppListChanged = true;
    host_.SetDirty(true);
}

void PollingPage::txt_KeyUp() {
    CommitAppRow();
    host_.SetDirty(true);
}

void PollingPage::Text1_KeyUp() { host_.SetDirty(true); }

void PollingPage::Text1_Validate() {
    // Showing another row may hide the box while it has the focus; that is
    // no leaving by the user.
    if (host_.FillingControls()) return;
    // Neither is a switch to another program: a half-typed path would be
    // marked as missing. The text waits until the box is really left.
    HWND focus = ::GetFocus();
    if (!focus || !::IsChild(host_.FormWindow(), focus)) return;
    CommitText1();
}

// Commits what was typed into Text1 since its row was shown, once.
void PollingPage::CommitText1() {
    if (!text1Edited_) return;
    const std::string text = ControlText(Text1_.get());
    const int method = MethodOfOptions(IsChecked(optMethod_[kMethodFileUpdate]), IsChecked(optMethod_[kMethodWindow]));
    const std::optional<std::string> checked = ValidatedText(text, method, FileExistsA);
    if (!checked) return;
    if (*checked != text) SetControlText(Text1_.get(), *checked);
    CommitAppRow();
    text1Edited_ = false;
    host_.SetDirty(true);
}

void PollingPage::cmdOpt_Click() {
    cDialog_.FileName = "*.*";
    cDialog_.Filter = "All files|*.*";
    if (cDialog_.ShowOpen(host_.FormWindow()) != CommonDialog::Outcome::kChosen || !IsChosenFile(cDialog_.FileName))
        return;
    const std::string file = cDialog_.FileName;
    if (!FitsInRecord(file)) {
        ::MessageBeep(MB_OK);
        return;
    }
    const std::optional<std::string> date = FileExistsA(file) ? FileModifiedGeneralDate(file) : std::nullopt;
    if (!date) {
        ShowError(kFileNotFound);
        return;
    }
    SetControlText(Text1_.get(), file);
    text1Tag_ = *date;
    CommitAppRow();
    host_.SetDirty(true);
}

void PollingPage::Command3_Click() {
    using Outcome = CommonDialog::Outcome;
    cDialog_.InitDir = DataFolder(host_.Folder());
    cDialog_.FileName = "*.ico";
    cDialog_.Filter = "Icon files|*.ico";
    const Outcome outcome = cDialog_.ShowOpen(host_.FormWindow());
    const std::string file = cDialog_.FileName;
    if (outcome == Outcome::kCancelled || (outcome == Outcome::kChosen && !IsChosenFile(file))) return;

    bool failed = outcome == Outcome::kFailed || !FitsInRecord(file);
    const bool exists = !failed && FileExistsA(file);
    UniqueIcon icon;
    if (exists) {
        icon.reset(static_cast<HICON>(
            ::LoadImageA(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
        failed = !icon;
    }
    if (failed) {
        MessageToUser(kIconNotLoaded, MB_ICONERROR | MB_OK);  // nothing has changed
        return;
    }
    // A typed name of a missing file is no error: it means "no icon".
    SetIcon(std::move(icon), exists ? file : std::string());
    CommitAppRow();
    host_.SetDirty(true);
}

void PollingPage::SetIcon(UniqueIcon icon, const std::string& tag) {
    // The control must let go of the old icon before it is destroyed.
    ::SendMessageA(imgIcon_, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
    icon_ = std::move(icon);
    iconTag_ = tag;
}

void PollingPage::ShowError(const EditorError& error) {
    MessageToUser(ErrorText(error).c_str(), MB_ICONEXCLAMATION | MB_OK);
}

void PollingPage::MessageToUser(const char* text, UINT style) {
    ::MessageBoxA(host_.FormWindow(), text, kMessageTitle, style);
}

void PollingPage::OnCommand(int id, int code, HWND) {
    if (code == BN_CLICKED) {
        if (id >= kAdd && id <= kRemove) cmdRow_Click(id - kAdd);
        // A click on the option already chosen changes nothing.
        if (id >= kOptFileUpdate && id <= kOptInternal && id - kOptFileUpdate != shownMethod_)
            optMethod_Click(id - kOptFileUpdate);
        if (id == kFileBrowse) cmdOpt_Click();
        if (id == kIconBrowse) Command3_Click();
        return;
    }
    if (id == kName && code == EN_CHANGE) {
        txt0_.OnChange();
        // A paste, cut or undo with the mouse changes the name without a key.
        if (!host_.FillingControls()) txt_KeyUp();
    }
    if (id == kText1 && code == EN_CHANGE) {
        Text1_.OnChange();
        if (!host_.FillingControls()) {
            text1Edited_ = true;
            text1Tag_.clear();  // the date belonged to the file named before
        }
    }
    if (id == kText1 && code == EN_KILLFOCUS) Text1_Validate();
}

LRESULT PollingPage::OnNotify(NMHDR* header) {
    if (header->hwndFrom != lvAppList_) return 0;
    switch (header->code) {
        case LVN_ITEMCHANGED: OnRowChanged(*reinterpret_cast<const NMLISTVIEW*>(header)); return 0;
        case LVN_BEGINLABELEDITA:
        case LVN_BEGINLABELEDITW: return lvAppList_BeforeLabelEdit();
        case NM_CLICK:
        case NM_DBLCLK:
        case NM_RCLICK:
        case NM_RDBLCLK: KeepARowSelected(); return 0;
        default: return 0;
    }
}

// The list reports ticks and selections the same way; only the user's own
// changes count.
void PollingPage::OnRowChanged(const NMLISTVIEW& change) {
    if (change.iItem < 0 || !(change.uChanged & LVIF_STATE) || fillingRows_ || host_.FillingControls()) return;
    if (ToggledCheck((change.uOldState & LVIS_STATEIMAGEMASK) >> 12, (change.uNewState & LVIS_STATEIMAGEMASK) >> 12))
        lvAppList_ItemCheck(change.iItem);
    // The list selects the clicked row before it takes the focus from Text1:
    // what was typed there belongs to the row that is being left.
    if ((change.uOldState & LVIS_SELECTED) && !(change.uNewState & LVIS_SELECTED) && change.iItem == shownRow_)
        CommitText1();
    if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) lvAppList_Click();
}

// A click below the last row clears the selection, but the editor still
// shows its row: that row stays selected, so no edit goes astray.
void PollingPage::KeepARowSelected() {
    if (SelectedRow() >= 0 || EditorRow() < 0) return;
    fillingRows_ = true;
    SelectRow(EditorRow());
    fillingRows_ = false;
}

}  // namespace vl
