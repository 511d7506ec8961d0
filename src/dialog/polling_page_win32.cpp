#include "dialog/polling_page_win32.h"

#include <array>
#include <string>

#include "core/data_folder.h"
#include "dialog/imap_account_dialog_win32.h"

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
    kOptFileUpdate = 313,
    kOptWindow = 314,
    kOptInternal = 315,
    kTextLabel = 316,
    kText1 = 317,
    kFileBrowse = 318,
    kOptProgramEnd = 319,
    kOptNewFile = 320,
    kOptImap = 321,
};

// optMethod(m), in the order of the method numbers.
constexpr std::array<int, kMethodCount> kOptionIds = {kOptFileUpdate, kOptWindow,     kOptInternal,
                                                      kOptProgramEnd, kOptNewFile, kOptImap};

// Two visible columns; six of zero width keep the row's copy of the record.
constexpr std::array<const wchar_t*, 8> kColumns = {L"Application", L"Polling method", L"Method Id", L"Icon",
                                                    L"Text",        L"Enabled",        L"Data",      L"Id"};

// cmdRow(0..3), left to right.
struct RowButton {
    int index;
    const wchar_t* caption;
    TwipsRect at;
};
constexpr std::array<RowButton, 4> kRowButtons = {{{0, L"Add", {90, 2270, 960, 280}},
                                                   {3, L"Remove", {1080, 2270, 960, 280}},
                                                   {1, L"update", {3285, 2270, 735, 280}},
                                                   {2, L"reset", {4050, 2270, 735, 280}}}};

// The editor's geometry is given relative to its frames; the controls all
// live on the page, so their places add up.
constexpr TwipsRect kFrame3At{90, 2520, 4695, 2445};
constexpr TwipsRect kFrame4In3{2070, 180, 2580, 2220};

constexpr TwipsRect Inside(const TwipsRect& box, const TwipsRect& r) {
    return {box.left + r.left, box.top + r.top, r.width, r.height};
}
constexpr TwipsRect kFrame4At = Inside(kFrame3At, kFrame4In3);
constexpr TwipsRect kFrame5At = Inside(kFrame3At, {585, 945, 960, 960});

DialogAnswer AnswerOf(CommonDialog::Outcome outcome) {
    switch (outcome) {
        case CommonDialog::Outcome::kChosen: return DialogAnswer::kChosen;
        case CommonDialog::Outcome::kCancelled: return DialogAnswer::kCancelled;
        default: return DialogAnswer::kFailed;
    }
}

}  // namespace

void PollingPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 450, kPageWidth, kPageHeight});
    // Rows are never renamed in the list itself: no LVS_EDITLABELS.
    HWND list = CreateControl(frame_, WC_LISTVIEW, L"",
                              WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                              {90, 180, 4695, 2040}, kAppList, font, t, WS_EX_CLIENTEDGE);
    list_.Attach(list);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(kColumns[i]);
        col.iSubItem = static_cast<int>(i);
        ::SendMessageW(list, LVM_INSERTCOLUMN, i, reinterpret_cast<LPARAM>(&col));
    }
    // Created left to right, which is also the tab order.
    std::array<HWND, 4> cmdRow{};
    for (const RowButton& b : kRowButtons)
        cmdRow[b.index] = CreateControl(frame_, L"BUTTON", b.caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, b.at,
                                        kAdd + b.index, font, t);
    CreateEditor(t, font, cmdRow[3]);
    // "update" and "reset" are never enabled.
    ::EnableWindow(cmdRow[1], FALSE);
    ::EnableWindow(cmdRow[2], FALSE);
}

void PollingPage::CreateEditor(const TwipsScale& t, HFONT font, HWND remove) {
    EditorBoxes::Handles h;
    h.form = host_.FormWindow();
    h.remove = remove;
    const DWORD box = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
    CreateControl(frame_, L"STATIC", L"Display name", WS_VISIBLE | SS_LEFT, Inside(kFrame3At, {90, 180, 1050, 285}),
                  kNameLabel, font, t);
    h.name = CreateControl(frame_, L"EDIT", Wide(kInitialName).c_str(), box, Inside(kFrame3At, {90, 405, 1905, 330}),
                           kName, font, t, WS_EX_CLIENTEDGE);
    CreateControl(frame_, L"STATIC", L"Icon", WS_VISIBLE | SS_LEFT, Inside(kFrame3At, {90, 810, 510, 240}), kIconLabel,
                  font, t);
    // The icon sits centred in the box; the box's top line is drawn half a
    // line of text below its top, hence the larger top margin.
    h.icon = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE,
                           {kFrame5At.left + 45, kFrame5At.top + 135, kFrame5At.width - 90, kFrame5At.height - 180},
                           kIcon, font, t);
    h.iconBrowse = CreateControl(frame_, L"BUTTON", L"Browse", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 Inside(kFrame3At, {1035, 2025, 960, 285}), kIconBrowse, font, t);
    // Six options in the frame's height: the label shares its line with
    // Browse. The tab order stays: the box, then its Browse.
    for (int i = 0; i < kMethodCount; ++i)
        h.options[i] = CreateControl(frame_, L"BUTTON", Wide(MethodCaption(i)).c_str(),
                                     WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                                     Inside(kFrame4At, {90, 210.0 + 225 * i, 2445, 225}), kOptionIds[i], font, t);
    h.textLabel = CreateControl(frame_, L"STATIC", L"File name", WS_VISIBLE | WS_GROUP | SS_LEFT,
                                Inside(kFrame4At, {135, 1620, 1575, 240}), kTextLabel, font, t);
    h.text = CreateControl(frame_, L"EDIT", L"", box, Inside(kFrame4At, {135, 1890, 2355, 285}), kText1, font, t,
                           WS_EX_CLIENTEDGE);
    h.fileBrowse = CreateControl(frame_, L"BUTTON", L"Browse", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 Inside(kFrame4At, {1770, 1590, 720, 285}), kFileBrowse, font, t);

    // The boxes go in last and under everything, and clip what lies above
    // them, so that the outer box never paints over the inner ones' lines.
    const DWORD groupBox = WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX;
    HWND frame3 = CreateControl(frame_, L"BUTTON", L"", groupBox, kFrame3At, kFrame3, font, t);
    h.methodFrame = CreateControl(frame_, L"BUTTON", L"Polling method", groupBox, kFrame4At, kFrame4, font, t);
    HWND frame5 = CreateControl(frame_, L"BUTTON", L"", groupBox, kFrame5At, kFrame5, font, t);
    for (HWND frame : {frame5, h.methodFrame, frame3})
        ::SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    txt0_.Attach(h.name, [this] { editor_.txt_KeyUp(); });
    Text1_.Attach(h.text, [this] { editor_.Text1_KeyUp(); });
    boxes_.Attach(h);
    boxes_.ShowProgramIcon(host_.Instance());
    ::EnableWindow(h.options[kMethodInternal], FALSE);
}

void PollingPage::SetColumnWidths(int width) {
    ListView_SetColumnWidth(list_.get(), 0, width);
    ListView_SetColumnWidth(list_.get(), 1, width);
}

void PollingPage::cmdOpt_Click() {
    if (editor_.ShownMethod() == kMethodImap) {
        const std::optional<std::string> url = EditImapAccount(host_.FormWindow(), host_.Instance(), boxes_.Text());
        editor_.FileBrowsed(url ? DialogAnswer::kChosen : DialogAnswer::kCancelled, url.value_or(""));
        return;
    }
    const MethodControls look = MethodControlsFor(editor_.ShownMethod());
    cDialog_.FileName = std::string(look.browseName);
    cDialog_.Filter = std::string(look.browseFilter);
    const DialogAnswer answer = AnswerOf(cDialog_.ShowOpen(host_.FormWindow()));
    editor_.FileBrowsed(answer, cDialog_.FileName);
}

void PollingPage::Command3_Click() {
    cDialog_.InitDir = DataFolder(host_.Folder());
    cDialog_.FileName = "*.ico";
    cDialog_.Filter = "Icon files|*.ico";
    const DialogAnswer answer = AnswerOf(cDialog_.ShowOpen(host_.FormWindow()));
    editor_.IconBrowsed(answer, cDialog_.FileName);
}

void PollingPage::OnCommand(int id, int code, HWND) {
    if (code == BN_CLICKED) {
        if (id == kAdd) editor_.AddRow();
        if (id == kRemove) editor_.RemoveRow();
        for (int m = 0; m < kMethodCount; ++m)
            if (id == kOptionIds[m]) editor_.OptionClicked(m);
        if (id == kFileBrowse) cmdOpt_Click();
        if (id == kIconBrowse) Command3_Click();
        return;
    }
    if (id == kName && code == EN_CHANGE) {
        txt0_.OnChange();
        editor_.txt_Change();
    }
    if (id == kText1 && code == EN_CHANGE) {
        Text1_.OnChange();
        editor_.Text1_Change();
    }
    if (id == kText1 && code == EN_KILLFOCUS) editor_.Text1_Validate();
}

LRESULT PollingPage::OnNotify(NMHDR* header) {
    if (header->hwndFrom != list_.get()) return 0;
    switch (header->code) {
        case LVN_ITEMCHANGED: {
            const auto& change = *reinterpret_cast<const NMLISTVIEW*>(header);
            // A row's text or data changing is neither a tick nor a selection.
            if (!(change.uChanged & LVIF_STATE)) return 0;
            editor_.OnRowChanged({change.iItem, (change.uOldState & LVIS_STATEIMAGEMASK) >> 12,
                                  (change.uNewState & LVIS_STATEIMAGEMASK) >> 12,
                                  (change.uOldState & LVIS_SELECTED) != 0, (change.uNewState & LVIS_SELECTED) != 0});
            return 0;
        }
        case LVN_GETDISPINFO: list_.FillCell(header); return 0;
        case LVN_BEGINLABELEDIT: return lvAppList_BeforeLabelEdit();
        case NM_CLICK:
        case NM_DBLCLK:
        case NM_RCLICK:
        case NM_RDBLCLK: editor_.KeepARowSelected(); return 0;
        default: return 0;
    }
}

}  // namespace vl
