#include "dialog/row_editor.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "core/limits.h"

using namespace vl;

namespace {

const std::string kMail = "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\V\\QVX_data\\mail.ico;;";
const std::string kEditor = "4100;1;1;Editor;C:\\w\\a.txt;0;Watch for file update;f.ico;C:\\w\\a.txt;1/2/2026 10:00:00";
const std::string kBuild = "4200;1;0;Build;Build failed;1;Wait for window;;Build failed;";
const std::string kEditorIcon = "C:\\V\\QVX_data\\f.ico";

// The list, the boxes and the form in memory. Like the real controls, the
// list reports selections and ticks while it changes them (the row left
// before the row gained), and a box reports every change of its text.
class FakePage final : public RowListView, public EditorControls, public FormFlags {
public:
    std::vector<AppListRow> rows;
    int selected = -1;
    std::string name, text, icon = "program's own";
    int option = -1;
    bool removeEnabled = false, iconBrowseEnabled = true, listFocused = false, nameFocused = false, focusInside = true;
    bool dirty = false, filling = false;
    std::set<std::string> icons = {kEditorIcon};                                         // files that hold an icon
    std::map<std::string, std::string> files = {{"C:\\w\\a.txt", "1/2/2026 10:00:00"}};  // file -> date
    std::vector<std::string> told;  // errors, messages and beeps, in order
    long long clock = 1000;
    AppList apps;
    RowEditor editor{*this, *this, *this, apps, "C:\\V"};

    // After the form's load: one row per record, the first one shown.
    explicit FakePage(std::vector<std::string> table) {
        apps.AppTable = std::move(table);
        filling = true;
        editor.FillFromTable();
        Select(0);
        editor.ShowAppRow();
        filling = false;
    }
    [[nodiscard]] std::string Field(int record, int field) const {
        return SplitRecord(apps.AppTable.at(record))[field];
    }

    // What the user does.
    void TypeName(const std::string& t) { name = t, editor.txt_Change(), editor.txt_KeyUp(); }
    void TypeText(const std::string& t) { text = t, editor.Text1_Change(), editor.Text1_KeyUp(); }
    void Tick(int i) {
        const unsigned old = Box(i);
        rows.at(i).checked = !rows.at(i).checked;
        editor.OnRowChanged({i, old, Box(i), i == selected, i == selected});
    }
    void ClickBelowRows() { Deselect(), editor.KeepARowSelected(); }

    int Count() const override { return static_cast<int>(rows.size()); }
    AppListRow Read(int i) const override { return rows.at(i); }
    void Write(int i, const AppListRow& row) override {
        rows.at(i).text = row.text, rows.at(i).subItems = row.subItems;
    }
    int Insert(int at, const AppListRow& row) override {
        rows.insert(rows.begin() + at, row);
        if (row.checked) editor.OnRowChanged({at, 1, 2, false, false});  // a new box starts clear
        return at;
    }
    void Delete(int i) override {
        rows.erase(rows.begin() + i), selected = selected == i ? -1 : selected - (selected > i);
    }
    void Clear() override { rows.clear(), selected = -1; }
    void Select(int i) override {
        if (i < 0 || i >= Count() || i == selected) return;
        if (selected >= 0) Deselect();
        selected = i;
        editor.OnRowChanged({i, Box(i), Box(i), false, true});
    }
    int Selected() const override { return selected; }
    void FocusList() override { listFocused = true; }

    std::string Name() const override { return name; }
    void SetName(const std::string& t) override { name = t, editor.txt_Change(); }
    std::string Text() const override { return text; }
    void SetText(const std::string& t) override { text = t, editor.Text1_Change(); }
    bool OptionChecked(int method) const override { return option == method; }
    void ShowMethod(int method, const MethodControls& look) override {
        option = method;
        if (look.textEmptied) SetText("");
    }
    void MethodFrameEnabled(bool) override {}
    void RemoveEnabled(bool enabled) override { removeEnabled = enabled; }
    void IconBrowseEnabled(bool enabled) override { iconBrowseEnabled = enabled; }
    bool ShowIcon(const std::string& path) override {
        if (!path.empty() && !icons.count(path)) return false;
        icon = path;
        return !path.empty();
    }
    void ShowError(const EditorError& error) override { told.push_back(ErrorText(error)); }
    void IconNotLoaded() override { told.push_back("no icon loaded"); }
    void Beep() override { told.push_back("beep"); }
    void FocusName() override { nameFocused = true; }
    bool FocusIsInsideForm() const override { return focusInside; }
    bool FileExists(const std::string& path) const override { return files.count(path) || icons.count(path); }
    std::optional<std::string> FileDate(const std::string& path) const override {
        return files.count(path) ? std::optional(files.at(path)) : std::nullopt;
    }
    long long MsSinceMidnight() const override { return clock; }

    void SetDirty(bool flag) override { dirty = flag; }
    bool FillingControls() const override { return filling; }
    void SetFillingControls(bool flag) override { filling = flag; }

private:
    unsigned Box(int i) const { return rows.at(i).checked ? 2 : 1; }
    void Deselect() {
        const int left = std::exchange(selected, -1);
        editor.OnRowChanged({left, Box(left), Box(left), true, false});
    }
};

TEST(AddRow, AppendsATickedRowWithItsOwnRecordAndFocusesTheName) {
    FakePage page({kMail, kBuild});
    page.clock = 45296335;
    page.editor.AddRow();
    ASSERT_EQ(page.Count(), 3);
    EXPECT_EQ(page.rows[2].key, "app#4529633.5");
    EXPECT_TRUE(page.rows[2].checked);
    EXPECT_EQ(page.apps.AppTable[2], "4529633.5;1;1;New Application;;0;Watch for file update;;;");
    EXPECT_EQ(page.selected, 2);
    EXPECT_TRUE(page.nameFocused && page.dirty && page.removeEnabled);
    // The program's own tick of the new row is no toggle by the user.
    EXPECT_FALSE(page.apps.AppListChanged || page.filling);
    page.TypeName("Notes");
    EXPECT_EQ(page.Field(2, kFieldName), "Notes");
}

TEST(AddRow, ARowWhoseRecordCannotBeStoredIsTakenBackAndTheFirstRowShown) {
    FakePage full(std::vector<std::string>(kMaxAppCount, kBuild));
    FakePage broken({kMail, kEditor, kBuild});
    broken.apps.AppTable.pop_back();  // a record went missing behind the list's back
    for (FakePage* page : {&full, &broken}) {
        const std::vector<std::string> table = page->apps.AppTable;
        const int rows = page->Count();
        page->editor.AddRow();
        EXPECT_EQ(page->told, std::vector<std::string>{ErrorText(kCounterBroken)});
        EXPECT_EQ(page->Count(), rows);
        EXPECT_EQ(page->rows.back().key, "app" + std::to_string(rows - 1));
        EXPECT_EQ(page->apps.AppTable, table);
        EXPECT_EQ(page->selected, 0);
        EXPECT_EQ(page->name, page->rows[0].text);
        EXPECT_FALSE(page->nameFocused || page->dirty || page->filling);
    }
}

TEST(RemoveRow, KeepsTheMailRowAndTakesTheSelectedRowsRecord) {
    FakePage page({kMail, kEditor, kBuild});
    EXPECT_FALSE(page.removeEnabled);
    page.editor.RemoveRow();
    EXPECT_EQ(page.Count(), 3);
    EXPECT_FALSE(page.dirty);

    page.Select(1);
    page.editor.RemoveRow();
    EXPECT_EQ(page.apps.AppTable, (std::vector<std::string>{kMail, kBuild}));
    ASSERT_EQ(page.Count(), 2);
    EXPECT_EQ(page.rows[1].key, "app2");
    EXPECT_EQ(page.selected, 0);
    EXPECT_EQ(page.name, "MAPI Client (Mail)");
    EXPECT_TRUE(page.listFocused && page.dirty);
    page.Select(1);
    page.TypeName("Build 2");
    EXPECT_EQ(page.apps.AppTable[1], "4200;1;0;Build 2;Build failed;1;Wait for window;;Build failed;");
}

TEST(TickingARow, CommitsTheEditorsRowFromTheEditorAndAnyOtherFromItsOwnColumns) {
    FakePage page({kMail, kEditor, kBuild});
    page.files["C:\\w\\b.txt"] = "3/4/2026 09:00:00";
    page.Select(1);
    page.TypeText("C:\\w\\b.txt");  // not committed yet
    page.Tick(2);
    EXPECT_EQ(page.apps.AppTable[2], "4200;1;1;Build;Build failed;1;Wait for window;;Build failed;");
    EXPECT_EQ(page.apps.AppTable[1], kEditor);
    EXPECT_TRUE(page.apps.AppListChanged && page.dirty);
    page.Tick(1);
    EXPECT_EQ(page.apps.AppTable[1],
              "4100;1;0;Editor;C:\\w\\b.txt;0;Watch for file update;" + kEditorIcon + ";C:\\w\\b.txt;");
}

// A record of a newer version's method (or a hand-edited one) is shown
// with no method chosen and its fields fixed; whatever the user does to the
// row, the record keeps every field but its name and tick, and never turns
// into a mail record.
TEST(TickingARow, ARecordOfAnUnknownMethodKeepsEveryFieldButItsNameAndTick) {
    const std::string future = "5;1;0;Future;p;9;Future;;caption;;extra";
    FakePage page({kMail, future, "r0", kBuild});
    page.Select(1);
    EXPECT_EQ(page.option, kMethodUnknown);
    EXPECT_EQ(page.text, "caption");
    EXPECT_FALSE(page.iconBrowseEnabled);
    EXPECT_TRUE(page.removeEnabled);
    page.TypeName("Later");
    page.Tick(1);
    page.editor.IconBrowsed(DialogAnswer::kChosen, kEditorIcon);
    page.editor.Text1_Validate();
    EXPECT_EQ(page.apps.AppTable[1], "5;1;1;Later;p;9;Future;;caption;;extra");

    page.Select(3);
    EXPECT_TRUE(page.iconBrowseEnabled);
    page.Tick(1);  // from the row's own columns
    page.Tick(2);  // damaged: it gains only a name and a tick, and stays unwatched
    EXPECT_EQ(page.apps.AppTable[1], "5;1;0;Later;p;9;Future;;caption;;extra");
    EXPECT_EQ(page.apps.AppTable[2], "r0;;1;");
    EXPECT_FALSE(IsCompleteRecord(page.apps.AppTable[2]));
}

TEST(Text1, TypedTextGoesToTheRowBeingLeftAndOnlyWhileTheFormKeepsTheFocus) {
    FakePage page({kMail, kEditor, kBuild});
    page.Select(1);
    page.TypeText("C:\\w\\half");
    page.focusInside = false;  // another program took the focus
    page.editor.Text1_Validate();
    EXPECT_EQ(page.apps.AppTable[1], kEditor);
    EXPECT_EQ(page.text, "C:\\w\\half");
    page.focusInside = true;

    page.Select(2);  // the list selects before Text1 loses the focus
    page.editor.Text1_Validate();
    EXPECT_EQ(page.Field(1, kFieldPath), "[ERROR: C:\\w\\half not found]");
    EXPECT_EQ(page.apps.AppTable[2], kBuild);
    EXPECT_EQ(page.text, "Build failed");

    // A click below the rows commits too, and the editor's row stays selected.
    page.TypeText("Build done");
    page.ClickBelowRows();
    EXPECT_EQ(page.selected, 2);
    EXPECT_EQ(page.Field(2, kFieldText), "Build done");
}

TEST(Text1, TheFileDateSurvivesARenameButNotAnEditOfTheFile) {
    FakePage page({kMail, kEditor});
    page.Select(1);
    page.TypeName("Renamed");
    EXPECT_EQ(page.Field(1, kFieldName), "Renamed");
    EXPECT_EQ(page.Field(1, kFieldDate), "1/2/2026 10:00:00");
    page.TypeText("C:\\w\\a.txt");
    page.Select(0);
    EXPECT_EQ(page.Field(1, kFieldDate), "");
}

TEST(Options, OnlyTheUsersPickOfAnotherMethodIsCommitted) {
    FakePage page({kMail, kBuild});
    page.Select(1);
    page.filling = true;
    page.editor.OptionClicked(kMethodFileUpdate);
    page.filling = false;
    page.editor.OptionClicked(kMethodFileUpdate);  // already shown
    EXPECT_EQ(page.apps.AppTable[1], kBuild);
    EXPECT_FALSE(page.dirty);
    page.editor.OptionClicked(kMethodWindow);
    EXPECT_EQ(page.apps.AppTable[1], "4200;1;0;Build;;1;Wait for window;;;");
    EXPECT_TRUE(page.dirty);
}

TEST(Browse, AChosenFileGoesInWithItsDateAndAnythingElseChangesNothing) {
    const struct {
        DialogAnswer answer;
        std::string file;
        std::vector<std::string> told;
    } cases[] = {{DialogAnswer::kChosen, "C:\\w\\b.txt", {}},
                 {DialogAnswer::kChosen, "C:\\w\\gone.txt", {ErrorText(kFileNotFound)}},
                 {DialogAnswer::kChosen, "C:\\w\\a;b.txt", {"beep"}},
                 {DialogAnswer::kChosen, "*.*", {}},
                 {DialogAnswer::kCancelled, "C:\\w\\b.txt", {}},
                 {DialogAnswer::kFailed, "C:\\w\\b.txt", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        FakePage page({kMail, kEditor});
        page.files["C:\\w\\b.txt"] = "3/4/2026 09:00:00";
        page.Select(1);
        page.editor.FileBrowsed(c.answer, c.file);
        const bool taken = &c == &cases[0];
        EXPECT_EQ(page.Field(1, kFieldPath), taken ? c.file : "C:\\w\\a.txt");
        EXPECT_EQ(page.Field(1, kFieldDate), taken ? "3/4/2026 09:00:00" : "1/2/2026 10:00:00");
        EXPECT_EQ(page.dirty, taken);
        EXPECT_EQ(page.told, c.told);
    }
}

// A program is named by the file chosen, a folder by the one holding the
// name chosen (the dialog's own "This folder" included); neither needs the
// file to exist, and neither gets a date.
TEST(Browse, AProgramOrAFolderRecordTakesThePathItNamesWithoutADate) {
    FakePage page({kMail, kEditor});
    page.Select(1);
    page.editor.OptionClicked(kMethodProgramEnd);
    page.editor.FileBrowsed(DialogAnswer::kChosen, "C:\\Tools\\ffmpeg.exe");
    EXPECT_EQ(page.apps.AppTable[1], "4100;1;1;Editor;C:\\Tools\\ffmpeg.exe;3;Wait for program to end;" + kEditorIcon +
                                         ";C:\\Tools\\ffmpeg.exe;");
    page.editor.OptionClicked(kMethodNewFile);
    EXPECT_EQ(page.text, "");  // another method's text does not carry over
    page.editor.FileBrowsed(DialogAnswer::kChosen, "D:\\Scans\\This folder");
    EXPECT_EQ(page.Field(1, kFieldText), "D:\\Scans");
    EXPECT_EQ(page.Field(1, kFieldMethod), "Watch folder for new files");
    page.TypeText("D:\\Scans\\*.pdf");
    page.editor.Text1_Validate();  // no check of a folder or a pattern
    EXPECT_EQ(page.Field(1, kFieldText), "D:\\Scans\\*.pdf");
    EXPECT_TRUE(page.told.empty());
}

TEST(Browse, AnIconIsShownAMissingFileMeansNoIconAndAnythingElseChangesNothing) {
    const std::vector<std::string> refused = {"no icon loaded"};
    const struct {
        DialogAnswer answer;
        std::string file;
        std::string shown;
        std::string stored;  // the record's icon
        std::vector<std::string> told;
    } cases[] = {{DialogAnswer::kChosen, "C:\\i\\new.ico", "C:\\i\\new.ico", "C:\\i\\new.ico", {}},
                 {DialogAnswer::kChosen, "C:\\i\\gone.ico", "", "", {}},
                 {DialogAnswer::kChosen, "C:\\w\\a.txt", kEditorIcon, "f.ico", refused},
                 {DialogAnswer::kChosen, "C:\\i\\a;b.ico", kEditorIcon, "f.ico", refused},
                 {DialogAnswer::kFailed, "*.ico", kEditorIcon, "f.ico", refused},
                 {DialogAnswer::kCancelled, "C:\\i\\new.ico", kEditorIcon, "f.ico", {}},
                 {DialogAnswer::kChosen, "*.ico", kEditorIcon, "f.ico", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        FakePage page({kMail, kEditor});
        page.icons.insert("C:\\i\\new.ico");
        page.Select(1);
        page.editor.IconBrowsed(c.answer, c.file);
        EXPECT_EQ(page.icon, c.shown);
        EXPECT_EQ(page.Field(1, kFieldIcon), c.stored);
        EXPECT_EQ(page.told, c.told);
    }
}

}  // namespace
