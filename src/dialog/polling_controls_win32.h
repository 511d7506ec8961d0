// The "Polling" page's list view and editor controls, as the row editor sees them.
#pragma once

#include "platform/win32_api.h"

#include <array>
#include <map>
#include <string>

#include "dialog/row_editor.h"
#include "platform/win32_handles.h"

namespace vl {

// A report-style list view with check boxes; the row's copy of its record
// lies in zero-width columns. The texts are kept here and handed to the list
// when it draws or is asked (LPSTR_TEXTCALLBACKW): a list of thousands of
// records then fills with one message per row instead of eight.
class AppListView final : public RowListView {
public:
    void Attach(HWND list) { list_ = list; }
    [[nodiscard]] HWND get() const { return list_; }
    // LVN_GETDISPINFOW: the text of one cell, cut to the list's buffer.
    void FillCell(NMHDR* header) const;
    // Many rows are about to be inserted: no repaint until the last.
    void BeginFill(int rows);
    void EndFill();

    [[nodiscard]] int Count() const override;
    [[nodiscard]] AppListRow Read(int index) const override;
    void Write(int index, const AppListRow& row) override;
    int Insert(int at, const AppListRow& row) override;
    void Delete(int index) override;
    void Clear() override;
    void Select(int index) override;
    [[nodiscard]] int Selected() const override;
    void FocusList() override;

private:
    [[nodiscard]] const AppListRow* RowOf(LPARAM id) const;

    HWND list_ = nullptr;
    // By the item's lParam: key ("app0", ... or "app#..." for added rows),
    // text and columns. The check box is the list's own.
    std::map<LPARAM, AppListRow> rows_;
    LPARAM nextRowId_ = 1;
};

class EditorBoxes final : public EditorControls {
public:
    // What the page created for the editor.
    struct Handles {
        HWND form = nullptr;  // owns the messages; the focus stays inside it
        HWND name = nullptr;
        HWND text = nullptr;       // Text1
        HWND textLabel = nullptr;  // "File name" or "Window caption"
        HWND fileBrowse = nullptr;
        HWND methodFrame = nullptr;
        std::array<HWND, kMethodCount> options{};  // by method
        HWND remove = nullptr;
        HWND icon = nullptr;
        HWND iconBrowse = nullptr;
    };
    void Attach(const Handles& handles) { h_ = handles; }
    // Until a row is shown, the picture is the program's own icon.
    void ShowProgramIcon(HINSTANCE instance);

    [[nodiscard]] std::string Name() const override;
    void SetName(const std::string& text) override;
    [[nodiscard]] std::string Text() const override;
    void SetText(const std::string& text) override;
    [[nodiscard]] bool OptionChecked(int method) const override;
    void ShowMethod(int method, const MethodControls& look) override;
    void MethodFrameEnabled(bool enabled) override;
    void RemoveEnabled(bool enabled) override;
    void IconBrowseEnabled(bool enabled) override;
    bool ShowIcon(const std::string& path) override;
    void ShowError(const EditorError& error) override;
    void IconNotLoaded() override;
    void Beep() override;
    void FocusName() override;
    [[nodiscard]] bool FocusIsInsideForm() const override;
    [[nodiscard]] bool FileExists(const std::string& path) const override;
    [[nodiscard]] std::optional<std::string> FileDate(const std::string& path) const override;
    [[nodiscard]] long long MsSinceMidnight() const override;

private:
    void SetIcon(UniqueIcon icon);
    void MessageToUser(const wchar_t* text, UINT style) const;

    Handles h_;
    UniqueIcon icon_;  // what the picture shows
};

}  // namespace vl
