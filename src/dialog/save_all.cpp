#include "dialog/save_all.h"

#include "settings/settings.h"

namespace vl {

bool SaveAll(bool bOnExit, RuntimeState& state, SettingsStore& store, DirtyFlag& dirty, const DialogChoices& choices) {
    if (state.apps.AppListChanged) dirty.SetDirty(true);
    if (!dirty.IsDirty()) return false;
    if (!state.host.IsConfigMode && !state.host.IsSaverRunning) return false;
    dirty.SetDirty(false);

    if (bOnExit) {
        for (const IniEntry& e : AppListEntries(state.apps)) store.Write(e.section, e.key, e.value);
        return true;
    }

    switch (choices.saver) {
        case DialogChoices::Saver::NoSaver: state.host.ScreenSaverPath.clear(); break;
        case DialogChoices::Saver::Path: state.host.ScreenSaverPath = choices.saverPath; break;
        case DialogChoices::Saver::NotSelected: break;
    }
    SavedSettings saved;
    saved.notifyX = state.settings.NotifyX;
    saved.notifyY = state.settings.NotifyY;
    saved.blink = choices.blinkChecked;
    saved.enlarged = choices.enlargeChecked;
    saved.horizontal = choices.horizontal;
    // The file is rewritten whole, so a saver kept without a selection in the
    // list is written too, or the user's choice would vanish from the file.
    saved.scrfile = state.host.ScreenSaverPath;
    store.ReplaceAll(AllEntries(saved, state.apps));
    return true;
}

}  // namespace vl
