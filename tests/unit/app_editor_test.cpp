#include "dialog/app_editor.h"

#include <gtest/gtest.h>

#include <set>

#include "startup/runtime_state.h"

using namespace vl;

namespace {

const std::string kMail = "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\V\\QVX_data\\mail.ico;;";
const std::string kEditor = "4100;1;1;Editor;C:\\w\\a.txt;0;Watch for file update;f.ico;C:\\w\\a.txt;1/2/2026 10:00:00";
const std::string kBuild = "4200;1;0;Build;Build failed;1;Wait for window;;Build failed;";

std::vector<AppListRow> RowsOf(const std::vector<std::string>& table) {
    std::vector<AppListRow> rows;
    for (int i = 0; i < static_cast<int>(table.size()); ++i) rows.push_back(RowOfRecord(table[i], i));
    return rows;
}

// Row i shows record i: its text, tick and every column.
void ExpectRowsMatchTable(const std::vector<AppListRow>& rows, const std::vector<std::string>& table) {
    ASSERT_EQ(rows.size(), table.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const AppListRow fromRecord = RowOfRecord(table[i], static_cast<int>(i));
        EXPECT_EQ(rows[i].text, fromRecord.text) << "row " << i;
        EXPECT_EQ(rows[i].checked, fromRecord.checked) << "row " << i;
        EXPECT_EQ(rows[i].subItems, fromRecord.subItems) << "row " << i;
    }
}

// What "Add" does to the list: a new row at the end, shown, then committed.
void AddRow(std::vector<AppListRow>& rows, std::vector<std::string>& table, long long ms) {
    rows.push_back(NewAppRow(NewRecordId(ms, table)));
    EditorValues shown;
    const RowView view = ViewOfRow(rows.back(), "C:\\V");
    shown.method = view.method;
    shown.name = "typed before the commit";
    CommitResult r = CommitAppRecord(table, static_cast<int>(rows.size()), rows.back(), shown);
    ASSERT_FALSE(r.error);
    EXPECT_TRUE(r.appended);
}

// What "Remove" does to the list with row `at` selected.
bool RemoveRow(std::vector<AppListRow>& rows, std::vector<std::string>& table, int at) {
    if (!IsRemovableRow(rows[at])) return false;
    RemoveRecordWithId(table, rows[at].subItems[kColId], at);
    rows.erase(rows.begin() + at);
    return true;
}

}  // namespace

// ----- the record a commit builds ------------------------------------------

TEST(CommitBuildsTheRecord, TenFieldsInOrderWithEnabledOneAndTextTwice) {
    EditorValues v{"Build monitor", "Build failed", "", kMethodWindow, "C:\\i\\b.ico"};
    EXPECT_EQ(BuildAppRecord("4529633.5", false, true, v),
              "4529633.5;1;1;Build monitor;Build failed;1;Wait for window;C:\\i\\b.ico;Build failed;");
    EXPECT_EQ(SplitRecord(BuildAppRecord("7", false, false, v)).size(), 10u);
}

TEST(CommitBuildsTheRecord, TickDecidesCheckedField) {
    EditorValues v{"n", "t", "", kMethodFileUpdate, ""};
    EXPECT_EQ(SplitRecord(BuildAppRecord("1", false, true, v))[kFieldChecked], "1");
    EXPECT_EQ(SplitRecord(BuildAppRecord("1", false, false, v))[kFieldChecked], "0");
}

TEST(CommitBuildsTheRecord, FileDateGoesLastAndMethodCaptionFollowsNumber) {
    EditorValues v{"Log", "C:\\l.txt", "3/4/2026 08:09:10", kMethodFileUpdate, ""};
    const auto f = SplitRecord(BuildAppRecord("9", false, true, v));
    EXPECT_EQ(f[kFieldMethodId], "0");
    EXPECT_EQ(f[kFieldMethod], "Watch for file update");
    EXPECT_EQ(f[kFieldPath], "C:\\l.txt");
    EXPECT_EQ(f[kFieldText], "C:\\l.txt");
    EXPECT_EQ(f[kFieldDate], "3/4/2026 08:09:10");
}

TEST(CommitBuildsTheRecord, CommitStoresAtRowPlaceAndUpdatesColumnsButNotIdOrTick) {
    std::vector<std::string> table = {kMail, kEditor, kBuild};
    AppListRow row = RowOfRecord(kBuild, 2);
    EditorValues v{"Renamed", "Other caption", "", kMethodWindow, "x.ico"};
    const CommitResult r = CommitAppRecord(table, 3, row, v);
    EXPECT_FALSE(r.error);
    EXPECT_FALSE(r.appended);
    EXPECT_EQ(table[2], "4200;1;0;Renamed;Other caption;1;Wait for window;x.ico;Other caption;");
    EXPECT_EQ(table[0], kMail);
    EXPECT_EQ(table[1], kEditor);
    EXPECT_EQ(row.text, "Renamed");
    EXPECT_FALSE(row.checked);
    EXPECT_EQ(row.key, "app2");
    EXPECT_EQ(row.subItems[kColId], "4200");
    EXPECT_EQ(row.subItems[kColIcon], "x.ico");
    EXPECT_EQ(row.subItems[kColText], "Other caption");
    ExpectRowsMatchTable({RowOfRecord(table[0], 0), RowOfRecord(table[1], 1), row}, table);
}

TEST(CommitBuildsTheRecord, MailRowStaysBuiltInAndTakesNoTextFromTheHiddenBox) {
    std::vector<std::string> table = {kMail};
    AppListRow row = RowOfRecord(kMail, 0);
    row.checked = false;  // unticking commits the row
    EditorValues v = ValuesOfRow(row);
    v.text = "C:\\w\\a.txt";  // left in the hidden box by the row shown before
    ASSERT_FALSE(CommitAppRecord(table, 1, row, v).error);
    EXPECT_EQ(table[0], "-1;0;0;MAPI Client (Mail);;2;Internal;C:\\V\\QVX_data\\mail.ico;;");
    // Shown again, its method stays fixed and it still cannot be removed.
    EXPECT_FALSE(ViewOfRow(row, "C:\\V").methodFrameEnabled);
    EXPECT_FALSE(IsRemovableRow(row));
}

TEST(CommitBuildsTheRecord, RowOnePastTheEndAppendsNamedAfterTheRow) {
    std::vector<std::string> table = {kMail};
    AppListRow row = NewAppRow("55");
    EditorValues v{"whatever the box held", "", "", kMethodFileUpdate, ""};
    const CommitResult r = CommitAppRecord(table, 2, row, v);
    EXPECT_TRUE(r.appended);
    EXPECT_EQ(v.name, "New Application");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1], "55;1;1;New Application;;0;Watch for file update;;;");
}

TEST(CommitBuildsTheRecord, RowTwoPastTheEndIsCounterBrokenAndChangesNothing) {
    std::vector<std::string> table = {kMail};
    AppListRow row = NewAppRow("55");
    const AppListRow before = row;
    EditorValues v{"n", "t", "", kMethodWindow, ""};
    const CommitResult r = CommitAppRecord(table, 3, row, v);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->number, 10101);
    EXPECT_EQ(r.error->description, "Counter is broken");
    EXPECT_EQ(table, std::vector<std::string>{kMail});
    EXPECT_EQ(row.text, before.text);
    EXPECT_EQ(row.subItems, before.subItems);
    EXPECT_TRUE(CommitAppRecord(table, 0, row, v).error);
}

TEST(CommitBuildsTheRecord, TableNeverGrowsPastItsCount) {
    std::vector<std::string> table(kMaxAppCount, kBuild);
    AppListRow row = NewAppRow("1");
    EditorValues v;
    EXPECT_TRUE(CommitAppRecord(table, kMaxAppCount + 1, row, v).error);
    EXPECT_EQ(table.size(), static_cast<size_t>(kMaxAppCount));
    EXPECT_FALSE(CommitAppRecord(table, kMaxAppCount, row, v).error);
}

TEST(CommitBuildsTheRecord, RowNotInTheEditorKeepsItsOwnValuesAndDate) {
    AppListRow row = RowOfRecord(kEditor, 1);
    row.checked = false;  // the user cleared its box
    std::vector<std::string> table = {kMail, kEditor};
    EditorValues v = ValuesOfRow(row);
    ASSERT_FALSE(CommitAppRecord(table, 2, row, v).error);
    EXPECT_EQ(table[1], "4100;1;0;Editor;C:\\w\\a.txt;0;Watch for file update;f.ico;C:\\w\\a.txt;1/2/2026 10:00:00");
}

TEST(CommitBuildsTheRecord, ErrorTextNamesDescriptionAndNumber) {
    EXPECT_EQ(ErrorText(kCounterBroken), "Counter is broken (error 10101)");
    EXPECT_EQ(ErrorText(kFileNotFound), "File not found (error 53)");
}

// ----- the polling methods --------------------------------------------------

TEST(MethodTable, FileUpdateShowsFileNameBoxAndBrowse) {
    const MethodControls c = MethodControlsFor(kMethodFileUpdate);
    EXPECT_TRUE(c.labelShown);
    EXPECT_EQ(c.labelCaption, "File name");
    EXPECT_TRUE(c.textShown);
    EXPECT_TRUE(c.textEmptied);
    EXPECT_TRUE(c.browseShown);
}

TEST(MethodTable, WindowShowsCaptionBoxWithoutBrowse) {
    const MethodControls c = MethodControlsFor(kMethodWindow);
    EXPECT_TRUE(c.labelShown);
    EXPECT_EQ(c.labelCaption, "Window caption");
    EXPECT_TRUE(c.textShown);
    EXPECT_TRUE(c.textEmptied);
    EXPECT_FALSE(c.browseShown);
}

TEST(MethodTable, InternalHidesAllAndKeepsText) {
    for (int m : {static_cast<int>(kMethodInternal), 7, -1}) {
        const MethodControls c = MethodControlsFor(m);
        EXPECT_FALSE(c.labelShown) << m;
        EXPECT_FALSE(c.textShown) << m;
        EXPECT_FALSE(c.textEmptied) << m;
        EXPECT_FALSE(c.browseShown) << m;
    }
}

TEST(MethodTable, OptionsGiveMethodNumberNeitherMeansInternal) {
    EXPECT_EQ(MethodOfOptions(true, false), kMethodFileUpdate);
    EXPECT_EQ(MethodOfOptions(false, true), kMethodWindow);
    EXPECT_EQ(MethodOfOptions(false, false), kMethodInternal);
}

// ----- showing a row ---------------------------------------------------------

TEST(ShowingARow, MailRowSelectsInternalKeepsTextAndLocksRemoveAndFrame) {
    const RowView v = ViewOfRow(RowOfRecord(kMail, 0), "C:\\V");
    EXPECT_EQ(v.method, kMethodInternal);
    EXPECT_FALSE(v.text.has_value());
    EXPECT_FALSE(v.removeEnabled);
    EXPECT_FALSE(v.methodFrameEnabled);
    EXPECT_EQ(v.name, "MAPI Client (Mail)");
    EXPECT_EQ(v.iconPath, "C:\\V\\QVX_data\\mail.ico");
}

TEST(ShowingARow, UserRowFillsTextAndUnlocks) {
    const RowView v = ViewOfRow(RowOfRecord(kBuild, 2), "C:\\V");
    EXPECT_EQ(v.method, kMethodWindow);
    EXPECT_EQ(v.text, "Build failed");
    EXPECT_TRUE(v.removeEnabled);
    EXPECT_TRUE(v.methodFrameEnabled);
    EXPECT_EQ(v.iconPath, "");
}

TEST(ShowingARow, BareIconNameIsLookedForInTheDataFolder) {
    EXPECT_EQ(ViewOfRow(RowOfRecord(kEditor, 1), "Z:\\apps\\v").iconPath, "Z:\\apps\\v\\QVX_Data\\f.ico");
}

TEST(ShowingARow, ColumnsAreReadAsIntegerValues) {
    AppListRow row = RowOfRecord(kBuild, 0);
    row.subItems[kColMethodId] = " 1 ";
    row.subItems[kColEnabled] = "junk";
    const RowView v = ViewOfRow(row, "C:\\V");
    EXPECT_EQ(v.method, kMethodWindow);
    EXPECT_FALSE(v.methodFrameEnabled);
    row.subItems[kColEnabled] = "-1";
    EXPECT_TRUE(ViewOfRow(row, "C:\\V").methodFrameEnabled);
}

// ----- the id and key of an added row ---------------------------------------

TEST(AddedRowId, HundredthsOfSecondsSinceMidnight) {
    EXPECT_EQ(IdStampText(0), "0");
    EXPECT_EQ(IdStampText(45296330), "4529633");    // 12:34:56.33
    EXPECT_EQ(IdStampText(45296335), "4529633.5");  // the clock's last digit shows as a fraction
    EXPECT_EQ(IdStampText(86399999), "8639999.9");
}

TEST(AddedRowId, StampAlreadyTakenMovesOnToAFreeOne) {
    std::vector<std::string> table = {kMail, "4529633;1;1;a;;0;Watch for file update;;;",
                                      "4529633.1;1;1;b;;0;Watch for file update;;;"};
    EXPECT_EQ(NewRecordId(45296330, table), "4529633.2");
    EXPECT_EQ(NewRecordId(45296340, table), "4529634");
}

TEST(AddedRowId, NewRowIsTickedFileUpdateWithKeyFromItsId) {
    const AppListRow row = NewAppRow("4529633.5");
    EXPECT_EQ(row.key, "app#4529633.5");
    EXPECT_EQ(row.text, "New Application");
    EXPECT_TRUE(row.checked);
    const std::array<std::string, 7> want = {"Watch for file update", "0", "", "", "1", "", "4529633.5"};
    EXPECT_EQ(row.subItems, want);
}

// ----- rows and records after Add and Remove --------------------------------

TEST(RowsFollowRecords, AddAppendsTheNewRecordAfterTheLast) {
    std::vector<std::string> table = {kMail, kEditor};
    auto rows = RowsOf(table);
    AddRow(rows, table, 45296330);
    ExpectRowsMatchTable(rows, table);
    EXPECT_EQ(table[2], "4529633;1;1;New Application;;0;Watch for file update;;;");
}

TEST(RowsFollowRecords, RemoveTakesTheSelectedRowsRecordOut) {
    std::vector<std::string> table = {kMail, kEditor, kBuild};
    auto rows = RowsOf(table);
    ASSERT_TRUE(RemoveRow(rows, table, 1));
    ExpectRowsMatchTable(rows, table);
    EXPECT_EQ(table, (std::vector<std::string>{kMail, kBuild}));
}

TEST(RowsFollowRecords, AddAfterRemoveLandsAfterTheRemainingRecords) {
    std::vector<std::string> table = {kMail, kEditor, kBuild};
    auto rows = RowsOf(table);
    ASSERT_TRUE(RemoveRow(rows, table, 1));
    AddRow(rows, table, 1000);
    AddRow(rows, table, 1000);  // same clock reading: still two records
    ExpectRowsMatchTable(rows, table);
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(SplitRecord(table[2])[kFieldId], "100");
    EXPECT_EQ(SplitRecord(table[3])[kFieldId], "100.1");
    // The second new row can be removed without touching the first.
    ASSERT_TRUE(RemoveRow(rows, table, 3));
    ExpectRowsMatchTable(rows, table);
    EXPECT_EQ(SplitRecord(table.back())[kFieldId], "100");
}

TEST(RowsFollowRecords, MailRowIsNeverRemoved) {
    std::vector<std::string> table = {kMail, kBuild};
    auto rows = RowsOf(table);
    EXPECT_FALSE(RemoveRow(rows, table, 0));
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(rows.size(), 2u);
}

TEST(RowsFollowRecords, RepeatedIdRemovesTheRowsOwnRecord) {
    const std::string twin = "4200;1;1;Twin;x;1;Wait for window;;x;";
    std::vector<std::string> table = {kMail, kBuild, twin};
    auto rows = RowsOf(table);
    ASSERT_TRUE(RemoveRow(rows, table, 2));
    ExpectRowsMatchTable(rows, table);
    EXPECT_EQ(table.back(), kBuild);
}

TEST(RowsFollowRecords, UnknownIdLeavesTheTableAlone) {
    std::vector<std::string> table = {kMail, kBuild};
    EXPECT_FALSE(RemoveRecordWithId(table, "999", 1));
    EXPECT_EQ(table.size(), 2u);
    EXPECT_TRUE(RemoveRecordWithId(table, "4200", 0));  // found elsewhere than at its row
    EXPECT_EQ(table, std::vector<std::string>{kMail});
}

// ----- leaving the text box --------------------------------------------------

TEST(ValidateText, MissingFileIsMarkedOnce) {
    std::set<std::string> existing;
    const auto exists = [&existing](const std::string& p) { return existing.count(p) > 0; };
    const auto once = ValidatedText("C:\\gone.txt", kMethodFileUpdate, exists);
    ASSERT_TRUE(once);
    EXPECT_EQ(*once, "[ERROR: C:\\gone.txt not found]");
    EXPECT_EQ(ValidatedText(*once, kMethodFileUpdate, exists), once);
}

TEST(ValidateText, ExistingFileStaysAsTyped) {
    const auto v =
        ValidatedText("C:\\here.txt", kMethodFileUpdate, [](const std::string& p) { return p == "C:\\here.txt"; });
    EXPECT_EQ(v, "C:\\here.txt");
}

TEST(ValidateText, WindowCaptionIsNeverCheckedAgainstFiles) {
    bool asked = false;
    const auto v = ValidatedText("Inbox", kMethodWindow, [&asked](const std::string&) { return asked = true, false; });
    EXPECT_EQ(v, "Inbox");
    EXPECT_FALSE(asked);
}

TEST(ValidateText, EmptyBoxCommitsNothing) {
    EXPECT_FALSE(ValidatedText("", kMethodFileUpdate, [](const std::string&) { return false; }));
    EXPECT_FALSE(ValidatedText("", kMethodWindow, [](const std::string&) { return false; }));
}

// ----- what the boxes and dialogs accept -------------------------------------

TEST(BoxText, SemicolonNeverFitsInARecord) {
    EXPECT_TRUE(FitsInRecord("Build monitor"));
    EXPECT_TRUE(FitsInRecord(""));
    EXPECT_FALSE(FitsInRecord("a;b"));
    EXPECT_FALSE(FitsInRecord(";"));
}

TEST(BoxText, DialogAnswerNamesAFileOnlyWithoutWildcards) {
    EXPECT_TRUE(IsChosenFile("C:\\x\\y.ico"));
    EXPECT_FALSE(IsChosenFile("*.ico"));  // cancelled: the pattern is still there
    EXPECT_FALSE(IsChosenFile("C:\\x\\*.*"));
    EXPECT_FALSE(IsChosenFile(""));
}

TEST(BoxText, FilterBecomesNulSeparatedPairs) {
    using namespace std::string_literals;
    EXPECT_EQ(DialogFilter("Icon files|*.ico"), "Icon files\0*.ico\0\0"s);
    EXPECT_EQ(DialogFilter("All files|*.*"), "All files\0*.*\0\0"s);
}

// ----- check boxes -----------------------------------------------------------

TEST(CheckBoxes, OnlyAToggleBetweenClearAndTickedCounts) {
    EXPECT_EQ(ToggledCheck(1, 2), true);
    EXPECT_EQ(ToggledCheck(2, 1), false);
    EXPECT_FALSE(ToggledCheck(0, 1));  // a new row getting its box
    EXPECT_FALSE(ToggledCheck(0, 2));
    EXPECT_FALSE(ToggledCheck(2, 2));
    EXPECT_FALSE(ToggledCheck(1, 0));
}
