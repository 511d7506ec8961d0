#include "settings/settings.h"

#include "core/data_folder.h"
#include "core/limits.h"
#include "settings/conversions.h"
#include "settings/watched_app.h"

namespace vl {
namespace {

std::string AppKey(int n) { return "app" + std::to_string(n); }

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

    apps.AppTable.clear();
    std::string builtIn;
    if (store.Read(kAppListSection, AppKey(0), "").empty()) {
        std::string icon = DataFolder(programFolder) + "\\mailQX.ico";
        if (!files.FileExists(icon)) {
            icon = DataFolder(programFolder) + "\\mail.ico";
            files.WriteOwnIcon(icon);  // without a data folder this fails; the record stays usable
        }
        builtIn = BuiltInMailRecord(icon);
        store.Write(kAppListSection, AppKey(0), builtIn);
    }

    for (int n = 0; n < kMaxAppCount; ++n) {
        std::string record = store.Read(kAppListSection, AppKey(n), "");
        if (n == 0 && record.empty()) record = builtIn;  // the write above may have failed
        if (record.empty()) break;
        apps.AppTable.push_back(std::move(record));
    }
}

std::vector<IniEntry> AppListEntries(const AppList& apps) {
    std::vector<IniEntry> entries;
    for (const std::string& record : apps.AppTable)
        if (!record.empty()) entries.push_back({kAppListSection, AppKey(static_cast<int>(entries.size())), record});
    return entries;
}

std::vector<IniEntry> AllEntries(const SavedSettings& saved, const AppList& apps) {
    std::vector<IniEntry> all;
    all.push_back({kSettingsSection, "position", FormatPosition({saved.notifyX, saved.notifyY})});
    all.push_back({kSettingsSection, "blink", saved.blink ? "1" : "0"});
    all.push_back({kSettingsSection, "enlarged", saved.enlarged ? "1" : "0"});
    all.push_back({kSettingsSection, "orientation", saved.horizontal ? "1" : "2"});
    if (!saved.scrfile.empty()) all.push_back({kSettingsSection, "scrfile", saved.scrfile});
    const std::vector<IniEntry> list = AppListEntries(apps);
    all.insert(all.end(), list.begin(), list.end());
    return all;
}

}  // namespace vl
