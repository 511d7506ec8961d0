// The "Polling" page's row editor: which row the editor shows, when what is
// typed goes into that row and its record, and how rows are added, removed
// and ticked. It reaches the screen only through the two ports below; the
// page turns window messages into calls here.
#pragma once

#include <optional>
#include <string>

#include "core/runtime_state.h"
#include "dialog/app_editor.h"
#include "dialog/form_flags.h"

namespace vl {

// The application list, row i showing record i. Like the real list, it
// reports selections and ticks (RowEditor::OnRowChanged) while it changes,
// also while these calls run.
class RowListView {
public:
    virtual ~RowListView() = default;
    [[nodiscard]] virtual int Count() const = 0;  // 0 when the list is gone
    [[nodiscard]] virtual AppListRow Read(int index) const = 0;
    // The row's text and columns; its key and box stay.
    virtual void Write(int index, const AppListRow& row) = 0;
    virtual int Insert(int at, const AppListRow& row) = 0;  // where it went; -1 when refused
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    // Selects the row and scrolls it into view; an index outside the list does nothing.
    virtual void Select(int index) = 0;
    [[nodiscard]] virtual int Selected() const = 0;  // -1 when none, and when the list is gone
    virtual void FocusList() = 0;
};

// The editor's boxes, options and picture. Setting a box's text reports a
// change (RowEditor::txt_Change, Text1_Change), as typing does.
class EditorControls {
public:
    virtual ~EditorControls() = default;
    [[nodiscard]] virtual std::string Name() const = 0;
    virtual void SetName(const std::string& text) = 0;
    [[nodiscard]] virtual std::string Text() const = 0;  // Text1: the caption fragment or the file
    virtual void SetText(const std::string& text) = 0;
    [[nodiscard]] virtual bool OptionChecked(int method) const = 0;
    // Checks the option of `method` alone and lays out the frame's lower half.
    virtual void ShowMethod(int method, const MethodControls& look) = 0;
    virtual void MethodFrameEnabled(bool enabled) = 0;
    virtual void RemoveEnabled(bool enabled) = 0;
    virtual void IconBrowseEnabled(bool enabled) = 0;
    // Shows the icon in the file; an empty path shows none. False, with the
    // picture unchanged, when the file holds no icon.
    virtual bool ShowIcon(const std::string& path) = 0;
    virtual void ShowError(const EditorError& error) = 0;
    virtual void IconNotLoaded() = 0;  // tells the user; nothing has changed
    virtual void Beep() = 0;
    virtual void FocusName() = 0;  // all of its text selected
    // False while another program has the focus.
    [[nodiscard]] virtual bool FocusIsInsideForm() const = 0;

    // The files the user names, and the clock new record ids come from.
    [[nodiscard]] virtual bool FileExists(const std::string& path) const = 0;
    [[nodiscard]] virtual std::optional<std::string> FileDate(const std::string& path) const = 0;  // general date
    [[nodiscard]] virtual long long MsSinceMidnight() const = 0;
};

// A change of a row's state, as the list reports it.
struct RowChange {
    int item = -1;
    unsigned oldStateImage = 0;  // 1 = clear box, 2 = ticked, 0 = none yet
    unsigned newStateImage = 0;
    bool wasSelected = false;
    bool isSelected = false;
};

enum class DialogAnswer { kChosen, kCancelled, kFailed };

class RowEditor {
public:
    RowEditor(RowListView& list, EditorControls& controls, FormFlags& form, AppList& apps, std::string programFolder);

    void FillFromTable();  // one row per record
    void ShowAppRow();     // the selected row into the editor

    void AddRow();
    void RemoveRow();
    void OptionClicked(int method);
    void txt_Change();
    void txt_KeyUp();
    void Text1_Change();
    void Text1_KeyUp();
    void Text1_Validate();  // Text1 lost the focus
    void OnRowChanged(const RowChange& change);
    void KeepARowSelected();  // after any click on the list
    [[nodiscard]] int ShownMethod() const { return shownMethod_; }
    // What the file-open dialog of Text1 (a file, a program, a folder) and of
    // the icon answered.
    void FileBrowsed(DialogAnswer answer, const std::string& fileName);
    void IconBrowsed(DialogAnswer answer, const std::string& fileName);

private:
    [[nodiscard]] int EditorRow() const;
    [[nodiscard]] EditorValues EditorContents() const;
    [[nodiscard]] int CheckedMethod() const;
    void CommitAppRow();
    bool CommitRow(int index, EditorValues values, bool fromEditor);  // false on an error shown
    void CommitText1();
    void optMethod_Click(int method);
    void lvAppList_Click();
    void lvAppList_ItemCheck(int item);
    void DeleteRow(int index);

    RowListView& list_;
    EditorControls& controls_;
    FormFlags& form_;
    AppList& apps_;
    std::string programFolder_;

    bool fillingRows_ = false;  // rows are being inserted or ticked by the program
    int shownMethod_ = -1;      // the option the editor shows
    int shownRow_ = -1;         // the row the editor shows
    bool text1Edited_ = false;  // Text1 holds text not committed yet
    std::string text1Tag_;      // the watched file's date: stored, or from Browse
    std::string iconTag_;       // the path of the icon shown; empty = none
    bool fieldsFixed_ = false;  // the row's method is another version's
};

}  // namespace vl
