// "OK", "Apply" and the end of a run: saving what the dialog and the run
// changed. The dialog and the end of a run both come here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/runtime_state.h"
#include "settings/settings_store.h"

namespace vl {

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
    bool awaySummaryChecked = false;
    enum class Saver { NotSelected, NoSaver, Path };
    Saver saver = Saver::NotSelected;
    std::string saverPath;  // with Saver::Path
};

enum class SaveOutcome {
    NothingToSave,  // nothing changed, or neither running nor configuring
    Saved,
    Failed,  // full save: the old file is whole, and the changes are still marked unsaved
};

struct SaveReport {
    SaveOutcome outcome = SaveOutcome::NothingToSave;
    WriteResult failure;               // Failed: the first write that failed
    std::vector<std::string> unsaved;  // Failed on exit: the keys that were not written
};

// Full save (bOnExit false): the whole file, replaced in one step. On exit:
// only the application list, key by key; the keys that could not be written
// are reported, the others are in the file. Records are renumbered without
// gaps. Writes nothing unless something changed and the program runs or
// configures. The changes count as saved only once the file holds them.
SaveReport SaveAll(bool bOnExit, RuntimeState& state, SettingsStore& store, DirtyFlag& dirty,
                   const DialogChoices& choices);

// A try runs the saver chosen in the dialog, saved or not: without one
// there is nothing to try.
bool CanTry(const DialogChoices& choices);

// What a try hands to its run: everything a full save would write now (the
// dialog's choices, the position and the list as the dialog holds them),
// the saver being the one chosen in the dialog. Nothing when it cannot try.
std::optional<std::vector<IniEntry>> TryEntries(const RuntimeState& state, const DialogChoices& choices);

// What the user is told when a full save failed.
std::string SaveFailedText(const std::string& file, const WriteResult& failure);

// The diagnostic log's line for an end-of-run save that left keys unwritten.
std::string UnsavedOnExitText(const std::string& file, const SaveReport& report);

}  // namespace vl
