// Whether the chosen saver still owns the screen, and what the timers do
// about it. The saver owns the screen while the window under the point
// (1,1) belongs to the started process or one of its direct children.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/runtime_state.h"

namespace vl {

struct ProcessEntry {
    std::uint32_t pid;
    std::uint32_t parentPid;
};

// How long a saver may take to cover the screen after its launch.
inline constexpr std::uint64_t kSaverGraceMs = 10000;

// The system as the hosting rules see it.
class HostPorts {
public:
    virtual ~HostPorts() = default;
    // All processes in snapshot order; nothing when no snapshot can be taken.
    virtual std::optional<std::vector<ProcessEntry>> SnapshotProcesses() = 0;
    // False only for a process known to be older than the started saver:
    // its parent id then names an earlier process whose id the saver got
    // again, so it is no child of the saver.
    virtual bool StartedAfterSaver(std::uint32_t pid) = 0;
    virtual bool AppendLog(std::string_view text) = 0;  // the diagnostic log; may fail
    virtual std::uint32_t ProbePointOwner() = 0;        // process of the window at (1,1); 0 if none
    virtual bool IsProcessAlive(std::uint32_t pid) = 0;
    virtual std::uint64_t NowMs() = 0;
    virtual bool WindowExists(std::uintptr_t window) = 0;
};

// What the hosting rules ask of the program.
class RunControl {
public:
    virtual ~RunControl() = default;
    virtual bool MainFormVisible() = 0;
    virtual void SetWatchdogEnabled(bool enabled) = 0;
    virtual void KillFormTimer(std::uintptr_t id) = 0;
    virtual void CheckAll() = 0;
    virtual void FinishAll() = 0;
};

// The started process and its direct children, in snapshot order.
std::vector<std::uint32_t> SelectSaverProcesses(const std::vector<ProcessEntry>& snapshot, std::uint32_t taskId);

// The diagnostic log's lines for one listing, CR LF ended.
std::string ListingLogText(std::uint32_t taskId, const std::vector<std::uint32_t>& ids);

// Lists the saver's processes into the state and logs them (unless the list
// is unchanged and onlyIfChanged is set). More than one process forces
// blinking for the rest of the run.
void FindSaverProcesses(RuntimeState& state, HostPorts& ports, std::uint32_t taskId, bool onlyIfChanged = false);

bool IsSaverProcess(const RuntimeState& state, std::uint32_t pid);

enum class Ownership {
    Owned,    // the saver owns the screen
    Pending,  // not yet, but it was never seen and may still be starting
    Lost,     // the saver has gone: the run ends
};

// The ownership test. Until the saver has been seen owning the screen, the
// process list is rebuilt on each call (a late child is found) and a failing
// test counts as Pending while any listed process lives, up to the grace time.
Ownership TestOwnership(RuntimeState& state, HostPorts& ports);

// The reaction to a failed test: unconfirm, stop every timer, finish.
void ShutdownAfterFailedTest(RuntimeState& state, RunControl& run);

// The watchdog tick (every 3 s in run mode).
void Timer1_Timer(RuntimeState& state, HostPorts& ports, RunControl& run);

// The first steps of the overlay tick; true when the tick may go on to draw.
bool OverlayTickOwnership(RuntimeState& state, HostPorts& ports, RunControl& run);

// The started process has ended: test at once rather than at the next tick.
void OnSaverProcessEnded(RuntimeState& state, HostPorts& ports, RunControl& run);

// The configuration-mode watch (100 ms) on the Display Properties window and
// on the window that passed its handle with the switch.
void DisplayPropertiesTimerProc(RuntimeState& state, HostPorts& ports, RunControl& run);

}  // namespace vl
