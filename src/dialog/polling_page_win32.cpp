#include "dialog/polling_page_win32.h"

#include <array>

#include "settings/watched_app.h"

namespace vl {
namespace {

enum ControlId : int { kAppList = 300 };

// Two visible columns; six of zero width keep the row's copy of the record.
constexpr std::array<const char*, 8> kColumns = {"Application", "Polling method", "Method Id", "Icon",
                                                 "Text",        "Enabled",        "Data",      "Id"};

void SetSubItem(HWND list, int row, int column, const std::string& text) {
    LVITEMA sub{};
    sub.iSubItem = column;
    sub.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
}

}  // namespace

void PollingPage::Create() {
    const TwipsScale& t = host_.Twips();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 450, kPageWidth, kPageHeight});
    lvAppList_ = CreateControl(frame_, WC_LISTVIEWA, "",
                               WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                               {90, 180, 4695, 2040}, kAppList, host_.Font(), t, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(lvAppList_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<char*>(kColumns[i]);
        col.iSubItem = static_cast<int>(i);
        ::SendMessageA(lvAppList_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
}

void PollingPage::SetColumnWidths(int width) {
    ListView_SetColumnWidth(lvAppList_, 0, width);
    ListView_SetColumnWidth(lvAppList_, 1, width);
}

void PollingPage::FillFromTable() {
    ListView_DeleteAllItems(lvAppList_);
    rowKeys_.clear();
    const std::vector<std::string>& table = host_.State().AppTable;
    for (int n = 0; n < static_cast<int>(table.size()); ++n) {
        AppListRow row = RowOfRecord(table[n], n);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = n;
        item.pszText = row.text.data();
        item.lParam = nextRowId_++;
        const int at = static_cast<int>(::SendMessageA(lvAppList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        rowKeys_[item.lParam] = row.key;
        for (int s = 0; s < static_cast<int>(row.subItems.size()); ++s) SetSubItem(lvAppList_, at, s + 1, row.subItems[s]);
        ListView_SetCheckState(lvAppList_, at, row.checked);
    }
}

void PollingPage::SelectRow(int index) {
    if (index < 0 || index >= ListView_GetItemCount(lvAppList_)) return;
    ListView_SetItemState(lvAppList_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(lvAppList_, index, FALSE);
}

int PollingPage::SelectedRow() const { return ListView_GetNextItem(lvAppList_, -1, LVNI_SELECTED); }

void PollingPage::ShowAppRow() {
    // The row editor is filled here.
}

void PollingPage::OnCommand(int, int, HWND) {}

LRESULT PollingPage::OnNotify(NMHDR*) { return 0; }

}  // namespace vl
