#include "dialog/app_editor.h"

#include <algorithm>

#include "core/data_folder.h"
#include "core/limits.h"
#include "settings/conversions.h"
#include "watch/imap_account.h"

namespace vl {
namespace {

int IntegerValue(std::string_view text) { return ParseInt32(text).value_or(0); }

std::string FieldOf(std::string_view record, int field) {
    const std::vector<std::string> f = SplitRecord(record);
    return field < static_cast<int>(f.size()) ? f[field] : std::string();
}

// The method a row's options stand for; a method this version does not
// know keeps its own number, and none of the options is chosen for it.
int MethodOfIdText(std::string_view text) { return KnownMethod(text).value_or(kMethodUnknown); }

}  // namespace

int MethodOfOptions(const bool (&checked)[kMethodCount]) {
    for (int m = 0; m < kMethodCount; ++m)
        if (checked[m] && m != kMethodInternal) return m;
    return kMethodInternal;
}

namespace {

// In the order of the method numbers. Browse for a folder opens the file
// dialog on a name that is no file: opened where the user stands, it names
// the folder shown.
constexpr MethodControls kMethodControls[kMethodCount] = {
    {true, "File name", true, true, true, "*.*", "All files|*.*"},
    {true, "Window caption", true, true, false, {}, {}},
    {},  // the mail method watches no text of its own
    {true, "Program name or path", true, true, true, "*.exe", "Programs|*.exe|All files|*.*"},
    {true, "Folder (and \\*.pdf)", true, true, true, "This folder", "All files|*.*"},
    {true, "Mail account", true, true, true, {}, {}, "Set up..."},
};

}  // namespace

MethodControls MethodControlsFor(int method) {
    if (method >= 0 && method < kMethodCount) return kMethodControls[method];
    return {false, {}, true, false, false, {}, {}};  // another version's method: its text shown, not edited
}

std::string BrowsedText(int method, std::string_view fileName) {
    if (method == kMethodNewFile) fileName = fileName.substr(0, fileName.find_last_of('\\'));
    return std::string(fileName);
}

std::string ErrorText(const EditorError& error) {
    return std::string(error.description) + " (error " + std::to_string(error.number) + ")";
}

std::string BuildAppRecord(std::string_view id, bool builtIn, bool ticked, const EditorValues& values) {
    return JoinRecord({std::string(id), builtIn ? "0" : "1", ticked ? "1" : "0", values.name, values.text,
                       std::to_string(values.method), std::string(MethodCaption(values.method)), values.iconTag,
                       values.text, values.textTag});
}

// Literals go in as whole strings: GCC 12 takes a literal assigned to a
// string element for an overlapping copy (-Wrestrict).
void ApplyToRow(AppListRow& row, const EditorValues& values) {
    row.text = values.name;
    row.subItems[kColMethod] = std::string(MethodCaption(values.method));
    row.subItems[kColMethodId] = std::to_string(values.method);
    row.subItems[kColIcon] = values.iconTag;
    row.subItems[kColText] = values.text;
    if (IsRemovableRow(row)) row.subItems[kColEnabled] = std::string("1");
    row.subItems[kColData] = values.textTag;
}

CommitResult CommitAppRecord(std::vector<std::string>& table, int rowNumber, AppListRow& row, EditorValues& values) {
    const int count = static_cast<int>(table.size());
    const bool isNew = rowNumber == count + 1;
    if (rowNumber < 1 || rowNumber > count + 1 || (isNew && count >= kMaxAppCount)) return {kCounterBroken, false};
    if (isNew) {
        table.emplace_back();
        values.name = row.text;
    }
    // A record of a method this version does not know is not this
    // version's to rewrite: only its name and tick follow the row.
    if (!isNew && !KnownMethod(FieldOf(table[rowNumber - 1], kFieldMethodId))) {
        table[rowNumber - 1] = RenamedRecord(table[rowNumber - 1], values.name, row.checked);
        row.text = values.name;
        return {std::nullopt, false};
    }
    // The mail method watches no caption or file: the hidden box may still
    // hold the text of the row shown before.
    if (values.method == kMethodInternal) values.text.clear();
    // The built-in record keeps its mark "0": with it, its fixed method and
    // its protection from "Remove".
    table[rowNumber - 1] = BuildAppRecord(row.subItems[kColId], !IsRemovableRow(row), row.checked, values);
    ApplyToRow(row, values);
    return {std::nullopt, isNew};
}

EditorValues ValuesOfRow(const AppListRow& row) {
    EditorValues v;
    v.name = row.text;
    v.text = row.subItems[kColText];
    v.textTag = row.subItems[kColData];
    v.method = MethodOfIdText(row.subItems[kColMethodId]);
    v.iconTag = row.subItems[kColIcon];
    return v;
}

RowView ViewOfRow(const AppListRow& row, std::string_view programFolder) {
    RowView view;
    view.method = MethodOfIdText(row.subItems[kColMethodId]);
    view.removeEnabled = view.method != kMethodInternal;
    if (view.method != kMethodInternal) view.text = row.subItems[kColText];
    view.fieldsFixed = view.method == kMethodUnknown;
    view.methodFrameEnabled = IntegerValue(row.subItems[kColEnabled]) != 0 && !view.fieldsFixed;
    view.name = row.text;
    view.date = row.subItems[kColData];
    const std::string& icon = row.subItems[kColIcon];
    if (!icon.empty()) view.iconPath = InDataFolder(programFolder, icon);
    return view;
}

std::string IdStampText(long long msSinceMidnight) {
    std::string text = std::to_string(msSinceMidnight / 10);
    if (const long long tenth = msSinceMidnight % 10; tenth != 0) {
        text += '.';
        text += static_cast<char>('0' + tenth);
    }
    return text;
}

std::string NewRecordId(long long msSinceMidnight, const std::vector<std::string>& table) {
    const auto taken = [&table](const std::string& id) {
        return std::any_of(table.begin(), table.end(),
                           [&id](const std::string& record) { return SplitRecord(record)[kFieldId] == id; });
    };
    std::string id = IdStampText(msSinceMidnight);
    while (taken(id)) id = IdStampText(++msSinceMidnight);
    return id;
}

AppListRow NewAppRow(const std::string& id) {
    AppListRow row;
    row.key = "app#" + id;
    row.text = std::string(kNewAppName);
    row.checked = true;
    row.subItems[kColMethod] = std::string(MethodCaption(kMethodFileUpdate));
    row.subItems[kColMethodId] = std::string("0");
    row.subItems[kColEnabled] = std::string("1");
    row.subItems[kColId] = id;
    return row;
}

bool IsRemovableRow(const AppListRow& row) { return row.subItems[kColEnabled] != "0"; }

bool RemoveRecordWithId(std::vector<std::string>& table, std::string_view id, int at) {
    const auto hasId = [id](const std::string& record) { return SplitRecord(record)[kFieldId] == id; };
    // A hand-edited file may repeat an id; the row's own record goes first.
    if (at >= 0 && at < static_cast<int>(table.size()) && hasId(table[at])) {
        table.erase(table.begin() + at);
        return true;
    }
    const auto found = std::find_if(table.begin(), table.end(), hasId);
    if (found == table.end()) return false;
    table.erase(found);
    return true;
}

std::optional<std::string> ValidatedText(const std::string& text, int method,
                                         const std::function<bool(const std::string&)>& fileExists) {
    if (text.empty()) return std::nullopt;
    if (method == kMethodFileUpdate && text.front() != '[' && !fileExists(text))
        return "[ERROR: " + text + " not found]";
    if (method == kMethodImap && !ParseImapUrl(text))
        if (const std::optional<ImapAccount> account = ParseAccountLine(text, ImapSecurity::kTls))
            return ImapUrl(*account);
    return text;
}

std::vector<std::string> CredentialTargetsGone(const std::vector<std::string>& before,
                                               const std::vector<std::string>& after) {
    const auto targets = [](const std::vector<std::string>& table) {
        std::vector<std::string> found;
        for (const std::string& record : table) {
            const std::vector<std::string> f = SplitRecord(record);
            if (!IsCompleteRecord(record) || KnownMethod(f[kFieldMethodId]) != kMethodImap) continue;
            if (const std::optional<ImapAccount> account = ParseImapUrl(f[kFieldText]))
                found.push_back(CredentialTarget(*account));
        }
        return found;
    };
    const std::vector<std::string> kept = targets(after);
    std::vector<std::string> gone;
    for (std::string& target : targets(before))
        if (std::find(kept.begin(), kept.end(), target) == kept.end() &&
            std::find(gone.begin(), gone.end(), target) == gone.end())
            gone.push_back(std::move(target));
    return gone;
}

bool FitsInRecord(std::string_view text) { return text.find(';') == std::string_view::npos; }

bool IsChosenFile(std::string_view fileName) {
    return !fileName.empty() && fileName.find('*') == std::string_view::npos;
}

std::string DialogFilter(std::string_view filter) {
    std::string out(filter);
    std::replace(out.begin(), out.end(), '|', '\0');
    out.push_back('\0');
    out.push_back('\0');
    return out;
}

std::optional<bool> ToggledCheck(unsigned oldStateImage, unsigned newStateImage) {
    const auto isBox = [](unsigned image) { return image == 1 || image == 2; };
    if (!isBox(oldStateImage) || !isBox(newStateImage) || oldStateImage == newStateImage) return std::nullopt;
    return newStateImage == 2;
}

}  // namespace vl
