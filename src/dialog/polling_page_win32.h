// The "Polling" page: the list of watched applications and its row editor.
// The editor's rules live in RowEditor; the page builds the controls and
// turns their messages into the editor's calls.
#pragma once

#include "platform/win32_api.h"

#include "dialog/common_dialog_win32.h"
#include "dialog/controls_win32.h"
#include "dialog/dialog_host_win32.h"
#include "dialog/polling_controls_win32.h"
#include "dialog/record_box_win32.h"
#include "dialog/row_editor.h"

namespace vl {

class PollingPage final : public PageHandler {
public:
    explicit PollingPage(DialogHost& host)
        : host_(host), editor_(list_, boxes_, host, host.State().apps, host.Folder()) {}
    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }
    [[nodiscard]] HWND List() const { return list_.get(); }

    // Form load: column widths, one row per record, row 1 selected.
    void SetColumnWidths(int width);
    void FillFromTable() {
        list_.BeginFill(host_.State().apps.AppCount());
        editor_.FillFromTable();
        list_.EndFill();
    }
    void SelectRow(int index) { list_.Select(index); }
    [[nodiscard]] int SelectedRow() const { return list_.Selected(); }  // -1 when none
    // Fills the row editor from the selected row.
    void ShowAppRow() { editor_.ShowAppRow(); }

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;

private:
    void CreateEditor(const TwipsScale& t, HFONT font, HWND remove);
    void cmdOpt_Click();
    void Command3_Click();
    static BOOL lvAppList_BeforeLabelEdit() { return TRUE; }  // cancelled: rows are never renamed in place

    DialogHost& host_;
    AppListView list_;
    EditorBoxes boxes_;
    RowEditor editor_;
    HWND frame_ = nullptr;
    RecordBox txt0_;   // the name box
    RecordBox Text1_;  // the caption or file box
    CommonDialog cDialog_;
};

}  // namespace vl
