// The program object: owns the run-time state, the main form, the icon
// carrier and the started saver, and answers the rules' ports with Win32.
#pragma once

#include <windows.h>

#include <string>

#include "display/icon_cache_win32.h"
#include "display/icon_carrier_win32.h"
#include "display/notify.h"
#include "host/saver_watch.h"
#include "platform/win32_handles.h"
#include "settings/profile_store.h"
#include "settings/settings_win32.h"
#include "startup/finish.h"
#include "startup/main_form_win32.h"
#include "startup/mode.h"
#include "core/runtime_state.h"
#include "watch/poll_cycle.h"
#include "watch/watch_win32.h"

namespace vl {

class App final : public HostPorts, public Lifecycle, public WatchPorts, public DisplayPorts {
public:
    explicit App(HINSTANCE instance);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The program's entry: returns the process exit code.
    int Main();

    RuntimeState& state() { return state_; }
    SettingsStore& Store() { return store_; }
    const RuntimeState& state() const { return state_; }

    // Called by the main form.
    void LoadSettings();
    void FormUnload();
    void Timer1Tick();
    void OverlayTimerTick();
    void DisplayPropertiesTick();

    void FinishAll() override;

    // HostPorts
    std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override;
    bool AppendLog(std::string_view text) override;
    bool StartedAfterSaver(std::uint32_t pid) override;
    std::uint32_t ProbePointOwner() override;
    bool IsProcessAlive(std::uint32_t pid) override;
    std::uint64_t NowMs() override;
    bool MainFormVisible() override;
    void SetWatchdogEnabled(bool enabled) override;
    void KillFormTimer(std::uintptr_t id) override;
    bool WindowExists(std::uintptr_t window) override;
    void CheckAll() override;

    // WatchPorts
    std::vector<std::string> TopLevelCaptions() override;
    std::optional<std::string> CheckMail() override;
    bool FileExists(const std::string& path) override;
    std::optional<std::string> FileDate(const std::string& path) override;
    std::string NormalizeDate(const std::string& stored) override;
    void ShowIconEx(std::int16_t nIndex, std::string& sIconPath) override;
    void ShowIcon(std::int16_t nIndex, std::string& sIconPath) override;
    void WriteText(std::string_view text) override;

    // DisplayPorts
    std::string ProgramFolder() override { return programFolder_; }
    TwipsScale Twips() override { return form_.twips(); }
    void BecomeChildOfSaver() override;
    void CreateElement(int k) override;
    bool LoadElementPicture(int k, const std::string& path) override;
    void SetElementFallback(int k) override;
    double ElementWidthTwips(int k) override;
    double ElementHeightTwips(int k) override;
    void PlaceElement(int k, double leftTwips, double topTwips) override;
    void PlaceCarrier(double left, double top, double width, double height) override;
    void SetCarrierLeft(double leftTwips) override;
    void RepaintElement(int k) override;
    std::uintptr_t CarrierDc() override;
    void DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) override;
    std::pair<int, int> DrawIconOnScreen(int x, int y, const std::string& path) override;
    void DrawTextLine(int line, const std::string& text) override;

    // Lifecycle
    void StopWatchdog() override;
    void SaveApplicationListOnExit() override;
    void CloseIconCarrier() override;
    void CloseMainForm() override;

private:
    bool AnotherInstanceRuns();
    void RunConfiguration();
    void RunSaver();
    void RunPreview();
    int MessageLoop();
    void PumpPendingMessages();

    HINSTANCE instance_;
    RuntimeState state_;
    std::string programFolder_;
    Win32ProfileFileSystem profileFs_;
    ProfileStore store_;
    Win32SettingsFiles files_;
    MainForm form_;
    IconCarrier carrier_;
    UniqueKernelHandle instanceMutex_;
    UniqueProcessInformation saver_;
    std::optional<std::uint64_t> saverCreatedAt_;  // kept: the handle is let go when the saver ends
    Win32Mapi mapi_;
    IconCache iconCache_;
    UniqueIcon appIcon_;       // element 0's picture before the first icon
    UniqueIcon fallbackIcon_;  // the no-entry sign, for missing or broken icon files
    HICON FallbackIcon();
    std::string arguments_;
};

}  // namespace vl
