// The rules of the "Polling" page's row editor: what a commit stores in the
// row and in its record, how a row is shown, how rows are added and removed,
// and what the edit boxes accept. The page itself only moves these values
// between the controls and the list.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/watched_app.h"

namespace vl {

// Positions in AppListRow::subItems (the list's columns 1 to 7).
enum RowColumn : int {
    kColMethod = 0,
    kColMethodId = 1,
    kColIcon = 2,
    kColText = 3,
    kColEnabled = 4,
    kColData = 5,
    kColId = 6,
};

inline constexpr std::string_view kNewAppName = "New Application";
inline constexpr std::string_view kInitialName = "Microsoft Outlook ";

// The method of a row whose record has a method this version does not know.
inline constexpr int kMethodUnknown = -1;

// What the editor holds when a commit reads it.
struct EditorValues {
    std::string name;     // the name box
    std::string text;     // the caption fragment or the file path
    std::string textTag;  // the file's date, known only after Browse
    int method = kMethodInternal;
    std::string iconTag;  // the icon path; empty = no icon
};

// The method the option buttons stand for (checked[m]: the option of method
// m): the one the user chose, or the mail method, which is never chosen.
int MethodOfOptions(const bool (&checked)[kMethodCount]);

// How the lower half of the method frame looks for a method.
struct MethodControls {
    bool labelShown = false;
    std::string_view labelCaption;  // when shown
    bool textShown = false;
    bool textEmptied = false;  // a hidden box keeps its text
    bool browseShown = false;
    // What Browse opens the file dialog with: the initial name and the filter.
    std::string_view browseName;
    std::string_view browseFilter;
    // An IMAP account is set up in a dialog of its own instead.
    std::string_view browseCaption = "Browse";
};
MethodControls MethodControlsFor(int method);

// What a file chosen with Browse puts into Text1: the file itself, or for
// a folder record the folder that holds it.
std::string BrowsedText(int method, std::string_view fileName);

// A message for the user; none of them ends the program.
struct EditorError {
    int number;
    std::string_view description;
};
inline constexpr EditorError kCounterBroken{10101, "Counter is broken"};
inline constexpr EditorError kFileNotFound{53, "File not found"};
std::string ErrorText(const EditorError& error);

// The record a commit stores: "enabled" is "1", but for the built-in record,
// which keeps its "0"; "path" and "text" both take the box's text.
std::string BuildAppRecord(std::string_view id, bool builtIn, bool ticked, const EditorValues& values);

// The row's columns after a commit; its key, "Id", "Enabled" mark of the
// built-in record and check box stay.
void ApplyToRow(AppListRow& row, const EditorValues& values);

struct CommitResult {
    std::optional<EditorError> error;
    bool appended = false;  // the row was new: the name box now shows its text
};

// Writes values into row number rowNumber (from 1) and its record in table.
// A row one past the table's end appends its record, named after the row;
// a row further out is an error and changes nothing. A record of a method
// this version does not know takes only the name and the row's tick.
CommitResult CommitAppRecord(std::vector<std::string>& table, int rowNumber, AppListRow& row, EditorValues& values);

// The editor's view of a row that is not in the editor, so that it can be
// committed on its own (its remembered file date included).
EditorValues ValuesOfRow(const AppListRow& row);

// What showing a row puts into the editor.
struct RowView {
    int method = 0;  // the option to select; kMethodUnknown selects none
    bool removeEnabled = false;
    std::optional<std::string> text;  // the box's new text; the mail row keeps the old one
    bool methodFrameEnabled = false;
    // Another version's method: only the name and the tick may change.
    bool fieldsFixed = false;
    std::string name;
    std::string iconPath;  // where to load the icon from; empty = none
    // The watched file's stored date. Kept with the row, so that renaming a
    // row does not wipe it and report the file as changed on the next run.
    std::string date;
};
RowView ViewOfRow(const AppListRow& row, std::string_view programFolder);

// A new record's id: hundredths of seconds since midnight, with a tenth when
// the clock's milliseconds call for it ("4529633.5").
std::string IdStampText(long long msSinceMidnight);
// The same, moved on by a millisecond at a time until no record has it.
std::string NewRecordId(long long msSinceMidnight, const std::vector<std::string>& table);
// The row "Add" puts at the end of the list, ticked, before its first commit.
AppListRow NewAppRow(const std::string& id);

// The built-in mail row ("Enabled" exactly "0") is never removed.
bool IsRemovableRow(const AppListRow& row);
// Removes the record whose id is id: the one at index `at` (the row's own
// place) when it has that id, else the first one that has. False when none has.
bool RemoveRecordWithId(std::vector<std::string>& table, std::string_view id, int at);

// The check of Text1 when it is left: nothing to commit for an empty box;
// a missing watched file is marked once, so leaving again keeps the text;
// an IMAP account typed as "user@server" is kept as its URL, with TLS.
std::optional<std::string> ValidatedText(const std::string& text, int method,
                                         const std::function<bool(const std::string&)>& fileExists);

// The credential targets of the IMAP accounts of `before` that no record of
// `after` names: once `after` is saved, their passwords are no one's.
std::vector<std::string> CredentialTargetsGone(const std::vector<std::string>& before,
                                               const std::vector<std::string>& after);

// A record has no way to carry ";" inside a field.
bool FitsInRecord(std::string_view text);

// A file-open dialog's answer names a file: not empty, no wildcard left over
// from the initial pattern.
bool IsChosenFile(std::string_view fileName);

// "Name|pattern|Name|pattern" as the file dialog wants it: NUL separated,
// ending in two NULs.
std::string DialogFilter(std::string_view filter);

// Old and new state-image indexes of a row (1 = clear box, 2 = ticked): the
// new tick when the user toggled the box; nothing when the row only got its
// first box or nothing changed.
std::optional<bool> ToggledCheck(unsigned oldStateImage, unsigned newStateImage);

}  // namespace vl
