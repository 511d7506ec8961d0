// What the program's rooms share while it runs, one small struct per room
// that owns it. One UI thread touches it, so nothing is locked; the program
// object owns the one instance and hands each rule the part it needs.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/screen_geometry.h"

namespace vl {

// Start-up and saver hosting: the mode, the started saver and its processes,
// the timers that watch it.
struct HostState {
    std::string ScreenSaverPath;  // full path of the chosen saver; empty = none
    bool IsSaverRunning = false;  // run mode, sole instance, saver to launch
    bool IsConfigMode = false;
    std::uintptr_t DisplayPropertiesWindow = 0;
    std::uintptr_t SettingsWindow = 0;                // the window that passed "/c:HWND"; it owns the dialog
    std::uintptr_t DisplayPropertiesTimer = 0;        // 0 = not armed; watches both windows
    std::uintptr_t OverlayTimer = 0;                  // 0 = not armed
    std::optional<std::set<std::string>> SaverNames;  // configuration mode only
    std::uint32_t ShellTaskId = 0;
    std::int16_t SaverProcessCount = 0;
    bool SaverConfirmed = false;
    std::vector<std::uint32_t> SaverProcessIds;  // the started process and its direct children

    // Until the saver has been seen owning the screen once, a slow start is
    // not mistaken for its end (see host/saver_watch.h).
    bool SaverSeenOwning = false;
    std::uint64_t SaverLaunchMs = 0;
};

// The "settings" values of the settings file, as loaded (the dialog's
// position editor changes the position too).
struct SettingsValues {
    std::int32_t NotifyX = 0;
    std::int32_t NotifyY = 0;
    bool BlinkIcons = false;
    bool EnlargeIcons = false;
    std::int16_t IconOrientation = 0;
    bool AwaySummary = false;  // list the run's events when it ends
    std::string NotifyMonitor;  // the device name of the monitor the position is on; empty: the primary
};

// Watched applications, in the order of their keys app0, app1, ...
struct AppList {
    std::vector<std::string> AppTable;
    // Records past the table's limit: never watched, but kept in the file.
    std::vector<std::string> Beyond;
    bool AppListChanged = false;
    bool PollCycleRunning = false;  // the poll cycle is on the stack
    std::uint64_t PollCycles = 0;   // cycles entered this run
    [[nodiscard]] int AppCount() const { return static_cast<int>(AppTable.size()); }
};

// One notification icon placed during this run.
struct DrawnIcon {
    std::int16_t Index = 0;  // the polling method it was shown for
    std::int32_t X = 0;      // carrier icons: twips inside the carrier; screen icons: pixels
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::string IconPath;  // full path; the key of the table
    bool BlinkPhase = false;
    std::uintptr_t CarrierDC = 0;  // the carrier's own DC; 0 for icons drawn on the screen

    bool operator==(const DrawnIcon&) const = default;
};

// What the notification display has shown this run.
struct DisplayState {
    bool IconsShown = false;
    // Always one spare element past DrawnIconCount.
    std::vector<DrawnIcon> DrawnIcons = std::vector<DrawnIcon>(1);
    std::int16_t DrawnIconCount = 0;
    // Texts of events without an icon, one line each from (1,1) down; the
    // overlay timer draws them again, as the saver paints over them.
    std::vector<std::string> ShownTexts;
    // The monitor the notification position counts on (screen pixels),
    // chosen when the run starts; empty when none is known.
    ScreenRect NotifyArea;
    // Where the carrier stands when it is not parked: its left edge on the screen.
    std::int32_t CarrierLeft = 0;

    // Nothing drawn yet (every form load).
    void ResetDrawnIcons() {
        DrawnIcons.assign(1, DrawnIcon{});
        DrawnIconCount = 0;
    }
};

struct RuntimeState {
    HostState host;
    SettingsValues settings;
    AppList apps;
    DisplayState display;
};

}  // namespace vl
