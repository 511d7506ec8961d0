#include "settings/settings.h"

#include <cctype>
#include <optional>
#include <map>

#include "core/data_folder.h"
#include "core/limits.h"
#include "core/text.h"
#include "settings/conversions.h"
#include "settings/watched_app.h"

namespace vl {
namespace {

std::string AppKey(int n) { return "app" + std::to_string(n); }

// A file the profile calls cannot read at all (UTF-16 without its byte-order
// mark, say) looks like a first start, whose writes would bury what it
// holds: it goes aside first, and an earlier copy aside is never replaced.
// Such a file that cannot be moved is left alone by every later write of
// this process, the end of a run and OK included.
void KeepUnreadableFileAside(SettingsStore& store, SettingsFiles& files) {
    const std::string path = store.FilePath();
    const std::optional<std::uint64_t> size = files.FileSize(path);
    if (!size || *size == 0 || store.HasSections()) return;
    const std::string aside = path + ".bak";
    if (files.MoveAside(path, aside)) {
        files.Log("The settings file " + path + " could not be read; it was kept as " + aside + ".");
        return;
    }
    store.LeaveAlone();
    files.Log("The settings file " + path + " could not be read and could not be kept aside as " + aside +
              "; nothing is written into it.");
}

}  // namespace

void LoadSettings(SettingsValues& values, AppList& apps, SettingsStore& store, SettingsFiles& files,
                  const std::string& programFolder) {
    Position position = ParsePosition(store.Read(kSettingsSection, "position", "48;295"))
                            .value_or(Position{kDefaultNotifyX, kDefaultNotifyY});
    values.NotifyX = position.x;
    values.NotifyY = position.y;
    values.BlinkIcons = ParseBoolean(store.Read(kSettingsSection, "blink", "false")).value_or(false);
    values.EnlargeIcons = ParseBoolean(store.Read(kSettingsSection, "enlarged", "false")).value_or(false);
    values.IconOrientation =
        ParseInt16(store.Read(kSettingsSection, "orientation", "2")).value_or(kDefaultIconOrientation);
    values.AwaySummary = ParseBoolean(store.Read(kSettingsSection, kAwaySummaryKey, "0")).value_or(false);
    values.NotifyMonitor = store.Read(kSettingsSection, kMonitorKey, "");

    apps.AppTable.clear();
    apps.Beyond.clear();
    // The whole section in one pass: a key at a time would read the file
    // once per record. Keys match without regard to case, and the first of
    // two equal keys counts, as with the profile calls.
    std::map<std::string, std::string> records;  // no hash table: its code would be in the file for two uses
    for (auto& [key, value] : store.ReadSection(kAppListSection)) records.try_emplace(Lowered(key), std::move(value));
    const auto recordAt = [&records](int n) {
        const auto found = records.find(AppKey(n));
        return found == records.end() ? std::string() : found->second;
    };

    std::string builtIn;
    if (recordAt(0).empty()) {
        KeepUnreadableFileAside(store, files);
        std::string icon = DataFolder(programFolder) + "\\mailQX.ico";
        if (!files.FileExists(icon)) {
            icon = DataFolder(programFolder) + "\\mail.ico";
            files.WriteOwnIcon(icon);  // without a data folder this fails; the record stays usable
        }
        builtIn = BuiltInMailRecord(icon);
        // Not written (a missing data folder, a file left alone): the record
        // still serves this process, and a later start tries again.
        (void)store.Write(kAppListSection, AppKey(0), builtIn);
    }

    for (int n = 0;; ++n) {
        std::string record = recordAt(n);
        if (n == 0 && record.empty()) record = builtIn;  // the write above may have failed
        if (record.empty()) break;
        (n < kMaxAppCount ? apps.AppTable : apps.Beyond).push_back(std::move(record));
    }
}

std::vector<IniEntry> AppListEntries(const AppList& apps) {
    std::vector<IniEntry> entries;
    for (const auto* list : {&apps.AppTable, &apps.Beyond})
        for (const std::string& record : *list)
            if (!record.empty()) entries.push_back({kAppListSection, AppKey(static_cast<int>(entries.size())), record});
    return entries;
}

std::vector<IniEntry> AllEntries(const SavedSettings& saved, const AppList& apps) {
    std::vector<IniEntry> all;
    all.push_back({kSettingsSection, "position", FormatPosition({saved.notifyX, saved.notifyY})});
    all.push_back({kSettingsSection, "blink", saved.blink ? "1" : "0"});
    all.push_back({kSettingsSection, "enlarged", saved.enlarged ? "1" : "0"});
    all.push_back({kSettingsSection, "orientation", saved.horizontal ? "1" : "2"});
    all.push_back({kSettingsSection, kAwaySummaryKey, saved.awaySummary ? "1" : "0"});
    if (!saved.monitor.empty()) all.push_back({kSettingsSection, kMonitorKey, saved.monitor});
    if (!saved.scrfile.empty()) all.push_back({kSettingsSection, "scrfile", saved.scrfile});
    const std::vector<IniEntry> list = AppListEntries(apps);
    all.insert(all.end(), list.begin(), list.end());
    return all;
}

}  // namespace vl
