#include "settings/settings.h"

#include "settings/conversions.h"
#include "settings/watched_app.h"

namespace vl {
namespace {

std::string AppKey(int n) { return "app" + std::to_string(n); }

}  // namespace

std::string DataFolder(const std::string& programFolder) { return programFolder + "\\QVX_data"; }

std::string SettingsFilePath(const std::string& programFolder) {
    return DataFolder(programFolder) + "\\Lumiwake.ini";
}

void LoadSettings(RuntimeState& state, SettingsStore& store, SettingsFiles& files,
                  const std::string& programFolder) {
    Position position = ParsePosition(store.Read(kSettingsSection, "position", "48;295"))
                            .value_or(Position{kDefaultNotifyX, kDefaultNotifyY});
    state.NotifyX = position.x;
    state.NotifyY = position.y;
    state.BlinkIcons = ParseBoolean(store.Read(kSettingsSection, "blink", "false")).value_or(false);
    state.EnlargeIcons = ParseBoolean(store.Read(kSettingsSection, "enlarged", "false")).value_or(false);
    state.IconOrientation =
        ParseInt16(store.Read(kSettingsSection, "orientation", "2")).value_or(kDefaultIconOrientation);

    state.AppTable.clear();
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
        state.AppTable.push_back(std::move(record));
    }
}

bool SaveAll(bool bOnExit, RuntimeState& state, SettingsStore& store, DirtyFlag& dirty,
             const DialogChoices& choices) {
    if (state.AppListChanged) dirty.SetDirty(true);
    if (!dirty.IsDirty()) return false;
    if (!state.IsConfigMode && !state.IsSaverRunning) return false;
    dirty.SetDirty(false);

    std::vector<IniEntry> apps;
    int skipped = 0;
    for (int i = 0; i < state.AppCount(); ++i) {
        const std::string& record = state.AppTable[i];
        if (record.empty()) {
            ++skipped;
            continue;
        }
        apps.push_back({kAppListSection, AppKey(i - skipped), record});
    }

    if (bOnExit) {
        for (const IniEntry& e : apps) store.Write(e.section, e.key, e.value);
        return true;
    }

    std::vector<IniEntry> all;
    all.push_back({kSettingsSection, "position", FormatPosition({state.NotifyX, state.NotifyY})});
    all.push_back({kSettingsSection, "blink", choices.blinkChecked ? "1" : "0"});
    all.push_back({kSettingsSection, "enlarged", choices.enlargeChecked ? "1" : "0"});
    all.push_back({kSettingsSection, "orientation", choices.horizontal ? "1" : "2"});
    switch (choices.saver) {
        case DialogChoices::Saver::NoSaver: state.ScreenSaverPath.clear(); break;
        case DialogChoices::Saver::Path: state.ScreenSaverPath = choices.saverPath; break;
        case DialogChoices::Saver::NotSelected: break;
    }
    // The file is rewritten whole, so a saver kept without a selection in the
    // list is written too, or the user's choice would vanish from the file.
    if (!state.ScreenSaverPath.empty() && choices.saver != DialogChoices::Saver::NoSaver)
        all.push_back({kSettingsSection, "scrfile", state.ScreenSaverPath});
    all.insert(all.end(), apps.begin(), apps.end());
    store.ReplaceAll(all);
    return true;
}

}  // namespace vl
