// The "Polling" page: the list of watched applications and its row editor.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "dialog/controls_win32.h"
#include "dialog/dialog_host.h"

namespace vl {

class PollingPage final : public PageHandler {
public:
    explicit PollingPage(DialogHost& host) : host_(host) {}
    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }
    [[nodiscard]] HWND List() const { return lvAppList_; }

    // Form load: column widths, one row per record, row 1 selected.
    void SetColumnWidths(int width);
    void FillFromTable();
    void SelectRow(int index);
    [[nodiscard]] int SelectedRow() const;  // -1 when none
    // Fills the row editor from the selected row.
    void ShowAppRow();

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;

private:
    DialogHost& host_;
    HWND frame_ = nullptr;
    HWND lvAppList_ = nullptr;
    std::map<LPARAM, std::string> rowKeys_;  // a row's key: "app0", ... or "app#..." for added rows
    LPARAM nextRowId_ = 0;
};

}  // namespace vl
