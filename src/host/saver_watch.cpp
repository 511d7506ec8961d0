#include "host/saver_watch.h"

#include <algorithm>

namespace vl {

std::vector<std::uint32_t> SelectSaverProcesses(const std::vector<ProcessEntry>& snapshot, std::uint32_t taskId) {
    std::vector<std::uint32_t> ids;
    // Id 0 means nothing was started; the processes without a parent are
    // not a saver's children.
    if (taskId == 0) return ids;
    for (const ProcessEntry& e : snapshot) {
        if (e.pid == taskId) ids.push_back(e.pid);
        if (e.parentPid == taskId) ids.push_back(e.pid);  // independently: a process may be both
    }
    return ids;
}

std::string ListingLogText(std::uint32_t taskId, const std::vector<std::uint32_t>& ids) {
    std::string text = "Shell task id: " + std::to_string(taskId) + "\r\n";
    for (std::uint32_t id : ids) text += "Found processes: " + std::to_string(id) + "\r\n";
    return text;
}

void FindSaverProcesses(RuntimeState& state, HostPorts& ports, std::uint32_t taskId, bool onlyIfChanged) {
    std::vector<std::uint32_t> ids;
    if (std::optional<std::vector<ProcessEntry>> snapshot = ports.SnapshotProcesses())
        ids = SelectSaverProcesses(*snapshot, taskId);
    // Process ids are used again: a process whose parent ended long ago can
    // carry the saver's id as its parent id (the desktop's own process, say,
    // whose window is under (1,1) once the saver has gone).
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [&](std::uint32_t id) { return id != taskId && !ports.StartedAfterSaver(id); }),
              ids.end());
    if (ids.size() > static_cast<size_t>(INT16_MAX)) ids.resize(INT16_MAX);
    const bool changed = ids != state.host.SaverProcessIds;
    state.host.SaverProcessIds = std::move(ids);
    state.host.SaverProcessCount = static_cast<std::int16_t>(state.host.SaverProcessIds.size());
    // The log is a diagnostic only: where it cannot be written, the listing
    // and the ownership test go on without it.
    if (changed || !onlyIfChanged) ports.AppendLog(ListingLogText(taskId, state.host.SaverProcessIds));
    if (state.host.SaverProcessCount > 1) state.settings.BlinkIcons = true;
}

bool IsSaverProcess(const RuntimeState& state, std::uint32_t pid) {
    const auto end = state.host.SaverProcessIds.begin() + state.host.SaverProcessCount;
    return std::find(state.host.SaverProcessIds.begin(), end, pid) != end;
}

Ownership TestOwnership(RuntimeState& state, HostPorts& ports) {
    if (!state.host.SaverSeenOwning) FindSaverProcesses(state, ports, state.host.ShellTaskId, true);
    if (IsSaverProcess(state, ports.ProbePointOwner())) {
        state.host.SaverSeenOwning = true;
        return Ownership::Owned;
    }
    // No grace for a saver that never started: its "children" would be
    // whatever runs with no parent.
    if (state.host.SaverSeenOwning || state.host.ShellTaskId == 0 ||
        ports.NowMs() - state.host.SaverLaunchMs >= kSaverGraceMs)
        return Ownership::Lost;
    if (ports.IsProcessAlive(state.host.ShellTaskId)) return Ownership::Pending;
    for (std::uint32_t pid : state.host.SaverProcessIds)
        if (ports.IsProcessAlive(pid)) return Ownership::Pending;
    return Ownership::Lost;
}

void ShutdownAfterFailedTest(RuntimeState& state, RunControl& run) {
    state.host.SaverConfirmed = false;
    run.SetWatchdogEnabled(false);
    if (state.host.OverlayTimer != 0) run.KillFormTimer(state.host.OverlayTimer);
    if (state.host.DisplayPropertiesTimer != 0) run.KillFormTimer(state.host.DisplayPropertiesTimer);
    run.FinishAll();
}

void Timer1_Timer(RuntimeState& state, HostPorts& ports, RunControl& run) {
    if (run.MainFormVisible()) return;
    if (state.host.SaverProcessCount == 0) FindSaverProcesses(state, ports, state.host.ShellTaskId);
    switch (TestOwnership(state, ports)) {
        case Ownership::Owned:
            state.host.SaverConfirmed = true;
            run.CheckAll();
            break;
        case Ownership::Pending: break;
        case Ownership::Lost: ShutdownAfterFailedTest(state, run); break;
    }
}

bool OverlayTickOwnership(RuntimeState& state, HostPorts& ports, RunControl& run) {
    if (state.host.SaverProcessCount == 0) FindSaverProcesses(state, ports, state.host.ShellTaskId);
    if (!state.host.IsSaverRunning) {
        run.KillFormTimer(state.host.OverlayTimer);
        return false;
    }
    switch (TestOwnership(state, ports)) {
        case Ownership::Owned: return true;
        case Ownership::Pending: return false;
        case Ownership::Lost: run.FinishAll(); return false;
    }
    return false;
}

void OnSaverProcessEnded(RuntimeState& state, HostPorts& ports, RunControl& run) {
    if (!state.host.IsSaverRunning) return;
    if (TestOwnership(state, ports) == Ownership::Lost) ShutdownAfterFailedTest(state, run);
}

void DisplayPropertiesTimerProc(RuntimeState& state, HostPorts& ports, RunControl& run) {
    if (!state.host.IsConfigMode) {
        run.KillFormTimer(state.host.DisplayPropertiesTimer);
        return;
    }
    // The settings end with either window they were opened from.
    for (const std::uintptr_t window : {state.host.DisplayPropertiesWindow, state.host.SettingsWindow}) {
        if (window == 0 || ports.WindowExists(window)) continue;
        run.KillFormTimer(state.host.DisplayPropertiesTimer);
        run.FinishAll();
        return;
    }
}

}  // namespace vl
