// Loading the settings file into the run-time state, and saving it back.
#pragma once

#include <string>

#include "settings/settings_store.h"
#include "startup/runtime_state.h"

namespace vl {

// Defaults of the "settings" keys.
inline constexpr std::int32_t kDefaultNotifyX = 48;
inline constexpr std::int32_t kDefaultNotifyY = 295;
inline constexpr std::int16_t kDefaultIconOrientation = 2;

// The data folder beside the program, and the files in it.
std::string DataFolder(const std::string& programFolder);
std::string SettingsFilePath(const std::string& programFolder);

// Reads every setting (a value that does not convert takes its key's
// default) and the application table. On a first start it creates the
// built-in mail record and its icon file; without a data folder that record
// still exists in memory.
void LoadSettings(RuntimeState& state, SettingsStore& store, SettingsFiles& files,
                  const std::string& programFolder);

// The dialog's unsaved-changes flag; SetDirty also enables or disables "Apply".
class DirtyFlag {
public:
    virtual ~DirtyFlag() = default;
    virtual bool IsDirty() const = 0;
    virtual void SetDirty(bool flag) = 0;
};

// What a full save takes from the dialog's controls.
struct DialogChoices {
    bool blinkChecked = false;
    bool enlargeChecked = false;
    bool horizontal = false;
    enum class Saver { NotSelected, NoSaver, Path };
    Saver saver = Saver::NotSelected;
    std::string saverPath;  // with Saver::Path
};

// Full save (bOnExit false): the whole file, replaced in one step. On exit:
// only the application list, key by key. Records are renumbered without
// gaps. Writes nothing unless something changed and the program runs or
// configures. Returns whether it wrote.
bool SaveAll(bool bOnExit, RuntimeState& state, SettingsStore& store, DirtyFlag& dirty,
             const DialogChoices& choices);

}  // namespace vl
