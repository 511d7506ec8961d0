// Loading the settings file into the run-time state, and what a save writes.
#pragma once

#include <string>
#include <vector>

#include "core/runtime_state.h"
#include "settings/settings_store.h"

namespace vl {

// Defaults of the "settings" keys.
inline constexpr std::int32_t kDefaultNotifyX = 48;
inline constexpr std::int32_t kDefaultNotifyY = 295;
inline constexpr std::int16_t kDefaultIconOrientation = 2;
// Added later than the other keys: older versions ignore it, and a file
// without it means the option is off.
inline constexpr char kAwaySummaryKey[] = "awaysummary";
// Also later: the monitor the notification position counts on. Absent, or
// naming a monitor that is gone, it means the primary one.
inline constexpr char kMonitorKey[] = "monitor";

// Reads every setting (a value that does not convert takes its key's
// default) and the application table. On a first start it creates the
// built-in mail record and its icon file; without a data folder that record
// still exists in memory. A non-empty file that cannot be read at all is
// kept aside first ("<file>.bak") and the log says so.
void LoadSettings(SettingsValues& values, AppList& apps, SettingsStore& store, SettingsFiles& files,
                  const std::string& programFolder);

// The application list as keys app0, app1, ...: empty records are left out
// and the later ones renumbered, so the keys have no gaps. Records past the
// table's limit follow the table.
std::vector<IniEntry> AppListEntries(const AppList& apps);

// The "settings" section a full save writes, as the dialog shows it.
struct SavedSettings {
    std::int32_t notifyX = 0;
    std::int32_t notifyY = 0;
    bool blink = false;
    bool enlarged = false;
    bool horizontal = false;
    bool awaySummary = false;
    std::string monitor;  // empty: the key is left out
    std::string scrfile;  // empty: the key is left out
};

// Every entry of a full save, in the order they go into the file.
std::vector<IniEntry> AllEntries(const SavedSettings& saved, const AppList& apps);

}  // namespace vl
