#include "dialog/row_editor.h"

#include <utility>

namespace vl {

RowEditor::RowEditor(RowListView& list, EditorControls& controls, FormFlags& form, AppList& apps,
                     std::string programFolder)
    : list_(list), controls_(controls), form_(form), apps_(apps), programFolder_(std::move(programFolder)) {}

void RowEditor::FillFromTable() {
    fillingRows_ = true;
    list_.Clear();
    const std::vector<std::string>& table = apps_.AppTable;
    for (int n = 0; n < static_cast<int>(table.size()); ++n) list_.Insert(n, RowOfRecord(table[n], n));
    fillingRows_ = false;
}

void RowEditor::ShowAppRow() {
    const int selected = list_.Selected();
    if (selected < 0) return;
    const RowView view = ViewOfRow(list_.Read(selected), programFolder_);
    optMethod_Click(view.method);
    if (view.text) controls_.SetText(*view.text);
    controls_.RemoveEnabled(view.removeEnabled);
    controls_.MethodFrameEnabled(view.methodFrameEnabled);
    controls_.IconBrowseEnabled(!view.fieldsFixed);
    fieldsFixed_ = view.fieldsFixed;
    controls_.SetName(view.name);

    // A file that is missing or holds no icon shows nothing and is forgotten.
    const bool shown =
        !view.iconPath.empty() && controls_.FileExists(view.iconPath) && controls_.ShowIcon(view.iconPath);
    if (!shown) controls_.ShowIcon("");
    iconTag_ = shown ? view.iconPath : std::string();

    text1Tag_ = view.date;
    shownRow_ = selected;
    text1Edited_ = false;
}

EditorValues RowEditor::EditorContents() const {
    EditorValues v;
    v.name = controls_.Name();
    v.text = controls_.Text();
    v.textTag = text1Tag_;
    v.method = CheckedMethod();
    v.iconTag = iconTag_;
    return v;
}

int RowEditor::CheckedMethod() const {
    bool checked[kMethodCount];
    for (int m = 0; m < kMethodCount; ++m) checked[m] = controls_.OptionChecked(m);
    return MethodOfOptions(checked);
}

// The row the editor shows; the same as the selected one, except while the
// list moves its selection, when the editor still holds the old row's text.
int RowEditor::EditorRow() const {
    if (shownRow_ >= 0 && shownRow_ < list_.Count()) return shownRow_;
    return list_.Selected();
}

void RowEditor::CommitAppRow() {
    const int row = EditorRow();
    if (row >= 0) CommitRow(row, EditorContents(), true);
}

bool RowEditor::CommitRow(int index, EditorValues values, bool fromEditor) {
    AppListRow row = list_.Read(index);
    const CommitResult result = CommitAppRecord(apps_.AppTable, index + 1, row, values);
    if (result.error) {
        controls_.ShowError(*result.error);
        return false;
    }
    if (result.appended && fromEditor) controls_.SetName(values.name);
    list_.Write(index, row);
    return true;
}

void RowEditor::OptionClicked(int method) {
    // A click on the option already chosen changes nothing.
    if (method != shownMethod_) optMethod_Click(method);
}

void RowEditor::optMethod_Click(int method) {
    shownMethod_ = method;
    controls_.ShowMethod(method, MethodControlsFor(method));
    if (form_.FillingControls()) return;
    CommitAppRow();
    form_.SetDirty(true);
}

void RowEditor::DeleteRow(int index) {
    fillingRows_ = true;
    list_.Delete(index);
    fillingRows_ = false;
}

void RowEditor::AddRow() {
    const AppListRow row = NewAppRow(NewRecordId(controls_.MsSinceMidnight(), apps_.AppTable));
    fillingRows_ = true;
    const int at = list_.Insert(list_.Count(), row);
    fillingRows_ = false;
    if (at < 0) return;

    form_.SetFillingControls(true);
    list_.Select(at);
    ShowAppRow();
    const bool stored = CommitRow(at, EditorContents(), true);
    if (!stored) {
        // A row without a record would shift every later commit.
        DeleteRow(at);
        list_.Select(0);
        ShowAppRow();
    }
    form_.SetFillingControls(false);
    if (!stored) return;

    controls_.FocusName();
    form_.SetDirty(true);
}

void RowEditor::RemoveRow() {
    const int selected = list_.Selected();
    if (selected < 0) return;
    const AppListRow row = list_.Read(selected);
    if (!IsRemovableRow(row)) return;
    RemoveRecordWithId(apps_.AppTable, row.subItems[kColId], selected);
    DeleteRow(selected);

    form_.SetFillingControls(true);
    list_.Select(0);
    list_.FocusList();
    ShowAppRow();
    form_.SetFillingControls(false);
    form_.SetDirty(true);
}

void RowEditor::lvAppList_Click() {
    form_.SetFillingControls(true);
    ShowAppRow();
    form_.SetFillingControls(false);
}

void RowEditor::lvAppList_ItemCheck(int item) {
    // The toggled row is committed, selected or not: a row that is not in
    // the editor is committed from its own columns.
    if (item == EditorRow())
        CommitRow(item, EditorContents(), true);
    else
        CommitRow(item, ValuesOfRow(list_.Read(item)), false);
    apps_.AppListChanged = true;
    form_.SetDirty(true);
}

// A paste, cut or undo with the mouse changes the name without a key.
void RowEditor::txt_Change() {
    if (!form_.FillingControls()) txt_KeyUp();
}

void RowEditor::txt_KeyUp() {
    CommitAppRow();
    form_.SetDirty(true);
}

void RowEditor::Text1_Change() {
    if (form_.FillingControls()) return;
    text1Edited_ = true;
    text1Tag_.clear();  // the date belonged to the file named before
}

void RowEditor::Text1_KeyUp() { form_.SetDirty(true); }

void RowEditor::Text1_Validate() {
    // Showing another row may hide the box while it has the focus; that is
    // no leaving by the user.
    if (form_.FillingControls()) return;
    // Neither is a switch to another program: a half-typed path would be
    // marked as missing. The text waits until the box is really left.
    if (!controls_.FocusIsInsideForm()) return;
    CommitText1();
}

// Commits what was typed into Text1 since its row was shown, once.
void RowEditor::CommitText1() {
    if (!text1Edited_) return;
    const std::string text = controls_.Text();
    const std::optional<std::string> checked =
        ValidatedText(text, CheckedMethod(), [this](const std::string& path) { return controls_.FileExists(path); });
    if (!checked) return;
    if (*checked != text) controls_.SetText(*checked);
    CommitAppRow();
    text1Edited_ = false;
    form_.SetDirty(true);
}

// The list reports ticks and selections the same way; only the user's own
// changes count.
void RowEditor::OnRowChanged(const RowChange& change) {
    if (change.item < 0 || fillingRows_ || form_.FillingControls()) return;
    if (ToggledCheck(change.oldStateImage, change.newStateImage).has_value()) lvAppList_ItemCheck(change.item);
    // The list selects the clicked row before it takes the focus from Text1:
    // what was typed there belongs to the row that is being left.
    if (change.wasSelected && !change.isSelected && change.item == shownRow_) CommitText1();
    if (change.isSelected && !change.wasSelected) lvAppList_Click();
}

// A click below the last row clears the selection, but the editor still
// shows its row: that row stays selected, so no edit goes astray.
void RowEditor::KeepARowSelected() {
    if (list_.Selected() >= 0 || EditorRow() < 0) return;
    fillingRows_ = true;
    list_.Select(EditorRow());
    fillingRows_ = false;
}

void RowEditor::FileBrowsed(DialogAnswer answer, const std::string& fileName) {
    if (answer != DialogAnswer::kChosen || !IsChosenFile(fileName)) return;
    if (!FitsInRecord(fileName)) {
        controls_.Beep();
        return;
    }
    // A program or a folder is taken as it is named; only a watched file's date counts.
    if (shownMethod_ != kMethodFileUpdate) {
        controls_.SetText(BrowsedText(shownMethod_, fileName));
        CommitAppRow();
        form_.SetDirty(true);
        return;
    }
    const std::optional<std::string> date =
        controls_.FileExists(fileName) ? controls_.FileDate(fileName) : std::nullopt;
    if (!date) {
        controls_.ShowError(kFileNotFound);
        return;
    }
    controls_.SetText(fileName);
    text1Tag_ = *date;  // after the text: its change forgets the old date
    CommitAppRow();
    form_.SetDirty(true);
}

void RowEditor::IconBrowsed(DialogAnswer answer, const std::string& fileName) {
    if (fieldsFixed_ || answer == DialogAnswer::kCancelled || (answer == DialogAnswer::kChosen && !IsChosenFile(fileName))) return;
    bool failed = answer == DialogAnswer::kFailed || !FitsInRecord(fileName);
    const bool exists = !failed && controls_.FileExists(fileName);
    if (exists) failed = !controls_.ShowIcon(fileName);
    if (failed) {
        controls_.IconNotLoaded();
        return;
    }
    // A typed name of a missing file is no error: it means "no icon".
    if (!exists) controls_.ShowIcon("");
    iconTag_ = exists ? fileName : std::string();
    CommitAppRow();
    form_.SetDirty(true);
}

}  // namespace vl
