#include "dialog/save_all.h"

#include <unordered_map>

#include "core/text.h"
#include "settings/settings.h"

namespace vl {
namespace {

SavedSettings FromDialog(const RuntimeState& state, const DialogChoices& choices, const std::string& scrfile) {
    SavedSettings saved;
    saved.notifyX = state.settings.NotifyX;
    saved.notifyY = state.settings.NotifyY;
    saved.blink = choices.blinkChecked;
    saved.enlarged = choices.enlargeChecked;
    saved.horizontal = choices.horizontal;
    saved.awaySummary = choices.awaySummaryChecked;
    saved.scrfile = scrfile;
    return saved;
}

}  // namespace

SaveReport SaveAll(bool bOnExit, RuntimeState& state, SettingsStore& store, DirtyFlag& dirty,
                   const DialogChoices& choices) {
    if (state.apps.AppListChanged) dirty.SetDirty(true);
    if (!dirty.IsDirty()) return {};
    if (!state.host.IsConfigMode && !state.host.IsSaverRunning) return {};

    if (bOnExit) {
        // The run ends whatever happens; a key that cannot be written leaves
        // the file as it was.
        dirty.SetDirty(false);
        // The list goes back as the program has it, but only the keys whose
        // value the file does not hold already: writing a long list key by
        // key takes a pass over the file each, and a key that is not
        // rewritten cannot be damaged by the writing.
        std::unordered_map<std::string, std::string> inFile;
        for (auto& [key, value] : store.ReadSection(kAppListSection)) inFile.try_emplace(Lowered(key), std::move(value));
        for (const IniEntry& e : AppListEntries(state.apps)) {
            const auto found = inFile.find(e.key);
            if (found == inFile.end() || found->second != e.value) store.Write(e.section, e.key, e.value);
        }
        return {SaveOutcome::Saved, {}};
    }

    switch (choices.saver) {
        case DialogChoices::Saver::NoSaver: state.host.ScreenSaverPath.clear(); break;
        case DialogChoices::Saver::Path: state.host.ScreenSaverPath = choices.saverPath; break;
        case DialogChoices::Saver::NotSelected: break;
    }
    // The file is rewritten whole, so a saver kept without a selection in the
    // list is written too, or the user's choice would vanish from the file.
    const SavedSettings saved = FromDialog(state, choices, state.host.ScreenSaverPath);
    const ReplaceResult replaced = store.ReplaceAll(AllEntries(saved, state.apps));
    if (!replaced.replaced) return {SaveOutcome::Failed, replaced.reason};
    dirty.SetDirty(false);
    return {SaveOutcome::Saved, {}};
}

bool CanTry(const DialogChoices& choices) {
    return choices.saver == DialogChoices::Saver::Path && !choices.saverPath.empty();
}

std::optional<std::vector<IniEntry>> TryEntries(const RuntimeState& state, const DialogChoices& choices) {
    if (!CanTry(choices)) return std::nullopt;
    return AllEntries(FromDialog(state, choices, choices.saverPath), state.apps);
}

std::string SaveFailedText(const std::string& file, const std::string& reason) {
    std::string text = "The settings could not be saved to\r\n" + file + "\r\n\r\n";
    text += reason.empty() ? "The system gave no reason." : reason;
    text += "\r\n\r\nYour changes are kept in this dialog. Close any program that holds the file, or make it "
            "writable, and save again.";
    return text;
}

}  // namespace vl
