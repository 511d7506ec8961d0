// The "Polling" page: the list of watched applications and its row editor.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <map>
#include <string>

#include "dialog/app_editor.h"
#include "dialog/common_dialog_win32.h"
#include "dialog/controls_win32.h"
#include "dialog/dialog_host.h"
#include "dialog/record_box_win32.h"
#include "platform/win32_handles.h"

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
    void CreateEditor(const TwipsScale& t, HFONT font);

    void CommitAppRow();
    [[nodiscard]] int EditorRow() const;
    void CommitText1();
    void KeepARowSelected();
    bool CommitRow(int index, EditorValues values, bool fromEditor);  // false on an error shown
    [[nodiscard]] EditorValues EditorContents() const;
    [[nodiscard]] AppListRow ReadRow(int index) const;
    void WriteRow(int index, const AppListRow& row);
    int InsertRow(int at, const AppListRow& row);

    void optMethod_Click(int index);
    void cmdRow_Click(int index);
    void AddRow();
    void RemoveRow();
    void OnRowChanged(const NMLISTVIEW& change);
    void lvAppList_Click();
    static BOOL lvAppList_BeforeLabelEdit() { return TRUE; }  // cancelled: rows are never renamed in place
    void lvAppList_ItemCheck(int item);
    void txt_KeyUp();
    void Text1_KeyUp();
    void Text1_Validate();
    void cmdOpt_Click();
    void Command3_Click();

    void SetMethodFrameEnabled(bool enabled);
    void SetIcon(UniqueIcon icon, const std::string& tag);
    void ShowError(const EditorError& error);
    void MessageToUser(const char* text, UINT style);

    DialogHost& host_;
    HWND frame_ = nullptr;
    HWND lvAppList_ = nullptr;
    std::array<HWND, 4> cmdRow_{};  // "Add", "update", "reset", "Remove"
    HWND frame3_ = nullptr;         // the editor's box
    HWND frame4_ = nullptr;         // "Polling method"
    HWND frame5_ = nullptr;         // the box around the icon
    std::array<HWND, 6> lbl_{};     // 0 "Display name", 1 "File name"/"Window caption", 5 "Icon"
    RecordBox txt0_;                // the name box
    RecordBox Text1_;               // the caption or file box
    std::array<HWND, 3> optMethod_{};
    HWND cmdOpt_ = nullptr;
    HWND imgIcon_ = nullptr;
    HWND Command3_ = nullptr;

    std::map<LPARAM, std::string> rowKeys_;  // a row's key: "app0", ... or "app#..." for added rows
    LPARAM nextRowId_ = 0;
    bool fillingRows_ = false;  // rows are being inserted or ticked by the program
    int shownMethod_ = -1;      // the option the editor shows
    int shownRow_ = -1;         // the row the editor shows
    bool text1Edited_ = false;  // Text1 holds text not committed yet
    std::string text1Tag_;      // the watched file's date: stored, or from Browse
    std::string iconTag_;       // the icon path shown in imgIcon
    UniqueIcon icon_;           // what imgIcon shows
    CommonDialog cDialog_;
};

}  // namespace vl
