#include "dialog/app_editor.h"

#include <gtest/gtest.h>

#include "core/limits.h"

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
    const auto shown = [](const AppListRow& r) { return std::tuple(r.text, r.checked, r.subItems); };
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(shown(rows[i]), shown(RowOfRecord(table[i], static_cast<int>(i)))) << "row " << i;
}

// What "Add" does to the list: a new row at the end, shown, then committed.
void AddRow(std::vector<AppListRow>& rows, std::vector<std::string>& table, long long ms) {
    rows.push_back(NewAppRow(NewRecordId(ms, table)));
    EditorValues shown{"typed before the commit", "", "", ViewOfRow(rows.back(), "C:\\V").method, ""};
    EXPECT_TRUE(CommitAppRecord(table, static_cast<int>(rows.size()), rows.back(), shown).appended);
}

// What "Remove" does to the list with row `at` selected.
bool RemoveRow(std::vector<AppListRow>& rows, std::vector<std::string>& table, int at) {
    if (!IsRemovableRow(rows[at])) return false;
    RemoveRecordWithId(table, rows[at].subItems[kColId], at);
    rows.erase(rows.begin() + at);
    return true;
}

TEST(CommitBuildsTheRecord, CommitStoresAtRowPlaceUpdatesColumnsButNotIdOrTickAndKeepsTheDate) {
    std::vector<std::string> table = {kMail, kEditor, kBuild};
    AppListRow row = RowOfRecord(kBuild, 2);
    EditorValues v{"Renamed", "Other caption", "", kMethodWindow, "x.ico"};
    const CommitResult r = CommitAppRecord(table, 3, row, v);
    EXPECT_FALSE(r.error || r.appended);
    EXPECT_EQ(table[2], "4200;1;0;Renamed;Other caption;1;Wait for window;x.ico;Other caption;");
    EXPECT_EQ(row.key, "app2");
    // A row not in the editor, committed when its box is cleared, keeps its own values and date.
    AppListRow editor = RowOfRecord(kEditor, 1);
    editor.checked = false;
    EditorValues own = ValuesOfRow(editor);
    ASSERT_FALSE(CommitAppRecord(table, 2, editor, own).error);
    EXPECT_EQ(table[1], "4100;1;0;Editor;C:\\w\\a.txt;0;Watch for file update;f.ico;C:\\w\\a.txt;1/2/2026 10:00:00");
    ExpectRowsMatchTable({RowOfRecord(kMail, 0), editor, row}, table);
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
    const RowView view = ViewOfRow(row, "C:\\V");
    EXPECT_EQ(view.method, kMethodInternal);
    EXPECT_FALSE(view.text.has_value());
    EXPECT_FALSE(view.methodFrameEnabled || view.removeEnabled || IsRemovableRow(row));
    EXPECT_EQ(view.iconPath, "C:\\V\\QVX_data\\mail.ico");  // a full path is taken as it is
}

TEST(CommitBuildsTheRecord, OnlyTheRowOnePastTheEndAppendsAndOnlyBelowTheLimit) {
    std::vector<std::string> table = {kMail};
    AppListRow row = NewAppRow("55");
    const AppListRow before = row;
    EditorValues v{"whatever the box held", "t", "", kMethodWindow, ""};
    for (int rowNumber : {0, 3}) {
        const CommitResult r = CommitAppRecord(table, rowNumber, row, v);
        ASSERT_TRUE(r.error) << rowNumber;
        EXPECT_EQ(r.error->number, kCounterBroken.number);
    }
    EXPECT_EQ(table, std::vector<std::string>{kMail});
    EXPECT_EQ(row.subItems, before.subItems);  // a refused commit changes nothing
    EXPECT_TRUE(CommitAppRecord(table, 2, row, v).appended);
    EXPECT_EQ(table, (std::vector<std::string>{kMail, "55;1;1;New Application;t;1;Wait for window;;t;"}));
    std::vector<std::string> full(kMaxAppCount, kBuild);
    EXPECT_TRUE(CommitAppRecord(full, kMaxAppCount + 1, row, v).error);
    EXPECT_EQ(full.size(), static_cast<size_t>(kMaxAppCount));
}

TEST(ShowingARow, UserRowUnlocksBareIconsLieInTheDataFolderAndColumnsAreIntegerValues) {
    const RowView user = ViewOfRow(RowOfRecord(kBuild, 2), "C:\\V");
    EXPECT_EQ(user.method, kMethodWindow);
    EXPECT_EQ(user.text, "Build failed");
    EXPECT_TRUE(user.removeEnabled && user.methodFrameEnabled);
    EXPECT_EQ(user.iconPath, "");
    EXPECT_EQ(ViewOfRow(RowOfRecord(kEditor, 1), "Z:\\apps\\v").iconPath, "Z:\\apps\\v\\QVX_data\\f.ico");
    AppListRow row = RowOfRecord(kBuild, 0);
    row.subItems[kColMethodId] = " 1 ";
    row.subItems[kColEnabled] = "junk";
    EXPECT_EQ(ViewOfRow(row, "C:\\V").method, kMethodWindow);
    EXPECT_FALSE(ViewOfRow(row, "C:\\V").methodFrameEnabled);
    row.subItems[kColEnabled] = "-1";
    EXPECT_TRUE(ViewOfRow(row, "C:\\V").methodFrameEnabled);
}

TEST(AddedRowId, HundredthsOfSecondsAndATakenStampMovesOnToAFreeOne) {
    EXPECT_EQ(IdStampText(0), "0");
    EXPECT_EQ(IdStampText(45296330), "4529633");    // 12:34:56.33
    EXPECT_EQ(IdStampText(45296335), "4529633.5");  // the clock's last digit shows as a fraction
    EXPECT_EQ(IdStampText(86399999), "8639999.9");
    const std::vector<std::string> table = {kMail, "4529633;1;1;a;;0;Watch for file update;;;",
                                            "4529633.1;1;1;b;;0;Watch for file update;;;"};
    EXPECT_EQ(NewRecordId(45296330, table), "4529633.2");
    EXPECT_EQ(NewRecordId(45296340, table), "4529634");
}

TEST(RowsFollowRecords, RemoveAndAddKeepRowIAtRecordI) {
    std::vector<std::string> table = {kMail, kEditor, kBuild};
    auto rows = RowsOf(table);
    EXPECT_FALSE(RemoveRow(rows, table, 0));  // the mail row is never removed
    ASSERT_TRUE(RemoveRow(rows, table, 1));
    EXPECT_EQ(table, (std::vector<std::string>{kMail, kBuild}));
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

TEST(RowsFollowRecords, RemoveTakesTheRowsOwnRecordOfARepeatedIdElseTheFirst) {
    std::vector<std::string> table = {kMail, kBuild, "4200;1;1;Twin;x;1;Wait for window;;x;"};
    auto rows = RowsOf(table);
    ASSERT_TRUE(RemoveRow(rows, table, 2));
    ExpectRowsMatchTable(rows, table);
    EXPECT_FALSE(RemoveRecordWithId(table, "999", 1));
    EXPECT_TRUE(RemoveRecordWithId(table, "4200", 0));  // found elsewhere than at its row
    EXPECT_EQ(table, std::vector<std::string>{kMail});
}

TEST(ValidateText, MissingFileIsMarkedOnceAndOnlyFilesAreChecked) {
    int asked = 0;
    const auto exists = [&asked](const std::string& p) { return ++asked, p == "C:\\here.txt"; };
    const auto once = ValidatedText("C:\\gone.txt", kMethodFileUpdate, exists);
    EXPECT_EQ(once, "[ERROR: C:\\gone.txt not found]");
    EXPECT_EQ(ValidatedText(*once, kMethodFileUpdate, exists), once);
    EXPECT_EQ(ValidatedText("C:\\here.txt", kMethodFileUpdate, exists), "C:\\here.txt");
    asked = 0;
    EXPECT_EQ(ValidatedText("Inbox", kMethodWindow, exists), "Inbox");
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(ValidatedText("", kMethodFileUpdate, exists));  // an empty box commits nothing
}

TEST(BoxText, WildcardsFiltersAndCheckBoxes) {
    using namespace std::string_literals;
    EXPECT_TRUE(IsChosenFile("C:\\x\\y.ico"));
    for (const char* cancelled : {"*.ico", "C:\\x\\*.*", ""}) EXPECT_FALSE(IsChosenFile(cancelled)) << cancelled;
    EXPECT_EQ(DialogFilter("Icon files|*.ico"), "Icon files\0*.ico\0\0"s);
    // Only a toggle between clear and ticked counts; a new row getting its box does not.
    EXPECT_EQ(ToggledCheck(1, 2), true);
    EXPECT_EQ(ToggledCheck(2, 1), false);
    for (auto [from, to] : {std::pair{0u, 1u}, {0u, 2u}, {2u, 2u}, {1u, 0u}}) EXPECT_FALSE(ToggledCheck(from, to));
}

}  // namespace

TEST(ImapRecords, ATypedAccountIsKeptAsItsUrlAndARemovedAccountsPasswordIsNoOnesOnceSaved) {
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(ValidatedText("jo@imap.example.com", kMethodImap, none), "imaps://jo@imap.example.com/INBOX");
    EXPECT_EQ(ValidatedText("imap://jo@h/Lists", kMethodImap, none), "imap://jo@h/Lists");
    EXPECT_EQ(ValidatedText("not an account", kMethodImap, none), "not an account");  // kept; the run logs it

    const std::string work = "1;1;1;Work;;5;IMAP mail;;imaps://jo@imap.example.com/INBOX;";
    const std::string lists = "2;1;1;Lists;;5;IMAP mail;;imaps://jo@imap.example.com:1993/Lists;";
    const std::string home = "3;1;1;Home;;5;IMAP mail;;imap://me@home.lan/INBOX;";
    const std::string file = "4;1;1;Log;;0;Watch for file update;;imaps://x@y/INBOX;";
    // One password serves the account at any port or folder; a file record's text is no account.
    EXPECT_EQ(CredentialTargetsGone({work, lists, home, file}, {lists}),
              (std::vector<std::string>{"Vigilumen/imap/me@home.lan"}));
    EXPECT_EQ(CredentialTargetsGone({work, home}, {}),
              (std::vector<std::string>{"Vigilumen/imap/jo@imap.example.com", "Vigilumen/imap/me@home.lan"}));
    EXPECT_TRUE(CredentialTargetsGone({work}, {work, home}).empty());
}
