#include "settings/save_all.h"

#include <map>

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
    saved.monitor = state.settings.NotifyMonitor;
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
        // that key as it was in the file, and the caller is told which.
        dirty.SetDirty(false);
        // The list goes back as the program has it, but only the keys whose
        // value the file does not hold already: writing a long list key by
        // key takes a pass over the file each, and a key that is not
        // rewritten cannot be damaged by the writing.
        std::map<std::string, std::string> inFile;
        for (auto& [key, value] : store.ReadSection(kAppListSection)) inFile.try_emplace(Lowered(key), std::move(value));
        SaveReport report{SaveOutcome::Saved, {}, {}};
        for (const IniEntry& e : AppListEntries(state.apps)) {
            const auto found = inFile.find(e.key);
            if (found != inFile.end() && found->second == e.value) continue;
            WriteResult written = store.Write(e.section, e.key, e.value);
            if (written.written) continue;
            if (report.unsaved.empty()) report.failure = std::move(written);
            report.outcome = SaveOutcome::Failed;
            report.unsaved.push_back(e.key);
        }
        return report;
    }

    switch (choices.saver) {
        case DialogChoices::Saver::NoSaver: state.host.ScreenSaverPath.clear(); break;
        case DialogChoices::Saver::Path: state.host.ScreenSaverPath = choices.saverPath; break;
        case DialogChoices::Saver::NotSelected: break;
    }
    // The file is rewritten whole, so a saver kept without a selection in the
    // list is written too, or the user's choice would vanish from the file.
    const SavedSettings saved = FromDialog(state, choices, state.host.ScreenSaverPath);
    WriteResult replaced = store.ReplaceAll(AllEntries(saved, state.apps));
    if (!replaced.written) return {SaveOutcome::Failed, std::move(replaced), {}};
    dirty.SetDirty(false);
    return {SaveOutcome::Saved, {}, {}};
}

bool CanTry(const DialogChoices& choices) {
    return choices.saver == DialogChoices::Saver::Path && !choices.saverPath.empty();
}

std::optional<std::vector<IniEntry>> TryEntries(const RuntimeState& state, const DialogChoices& choices) {
    if (!CanTry(choices)) return std::nullopt;
    return AllEntries(FromDialog(state, choices, choices.saverPath), state.apps);
}

std::string SaveFailedText(const std::string& file, const WriteResult& failure) {
    std::string text = "The settings could not be saved to\r\n" + file + "\r\n\r\n";
    text += failure.reason.empty() ? "The system gave no reason." : failure.reason;
    text += "\r\n\r\nYour changes are kept in this dialog. ";
    text += failure.fileUnread ? "Move the file away or repair it, then open the settings again."
                               : "Close any program that holds the file, or make it writable, and save again.";
    return text;
}

std::string UnsavedOnExitText(const std::string& file, const SaveReport& report) {
    // A long list that failed whole would make a line of thousands of keys.
    constexpr size_t kKeysNamed = 10;
    std::string keys;
    for (size_t i = 0; i < report.unsaved.size() && i < kKeysNamed; ++i) keys += (i ? ", " : "") + report.unsaved[i];
    if (report.unsaved.size() > kKeysNamed) keys += ", ...";
    return "Not saved to " + file + " at the end of the run: " + std::to_string(report.unsaved.size()) +
           " records (" + keys + "): " + report.failure.reason;
}

}  // namespace vl
