// A watched application is one line of text: ten fields joined by ";".
// Everything that reads a record splits it afresh and addresses fields by
// position; there is no quoting, so a field never holds ";".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

enum WatchedAppField : int {
    kFieldId = 0,
    kFieldEnabled = 1,
    kFieldChecked = 2,
    kFieldName = 3,
    kFieldPath = 4,
    kFieldMethodId = 5,
    kFieldMethod = 6,
    kFieldIcon = 7,
    kFieldText = 8,
    kFieldDate = 9,
    kWatchedAppFieldCount = 10,
};

// A method's number is its index in the table of methods (watched_app.cpp),
// and the option it has in the editor.
enum PollingMethod : int {
    kMethodFileUpdate = 0,
    kMethodWindow = 1,
    kMethodInternal = 2,  // the mail check
    kMethodProgramEnd = 3,
    kMethodNewFile = 4,
    kMethodImap = 5,  // the record's text is the account's URL (watch/imap_account.h)
    kMethodCount = 6,
};

// The caption shown for a polling method; empty for an unknown number.
std::string_view MethodCaption(int methodId);

// The method of a record's method id text, read as the poll cycle reads it;
// nothing when this version does not know it (a newer version's record, or
// one edited by hand). Such a record is never watched and never rewritten:
// only its name and tick may change.
std::optional<int> KnownMethod(std::string_view methodIdText);

// Splits at every ";" (so "a;b" gives two fields and "" gives one empty field).
std::vector<std::string> SplitRecord(std::string_view record);

// Joins exactly ten fields; missing ones are empty, surplus ones are dropped.
std::string JoinRecord(const std::vector<std::string>& fields);

// A record of another method with its name and tick changed, every other
// field (surplus ones too) as it was.
std::string RenamedRecord(std::string_view record, std::string_view name, bool ticked);

// A record with fewer than ten fields is damaged: it is kept and saved back
// as it is, but never polled.
bool IsCompleteRecord(std::string_view record);

// The built-in mail record created on a first start.
std::string BuiltInMailRecord(std::string_view iconPath);

// One row of the application list: the row's key, text, check box and the
// seven sub-items that keep the row's copy of the record.
struct AppListRow {
    std::string key;
    std::string text;
    bool checked = false;
    std::array<std::string, 7> subItems;  // method, method id, icon, text, enabled, date, id
};

// The row for record number `index` loaded from the settings file.
AppListRow RowOfRecord(std::string_view record, int index);

}  // namespace vl
