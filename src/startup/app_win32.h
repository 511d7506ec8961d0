// The program object: owns the run-time state, the settings file, the main
// form and one adapter per room, and wires the rooms' rules together.
#pragma once

#include "platform/win32_api.h"

#include <string>

#include "core/runtime_state.h"
#include "dialog/form_owner.h"
#include "dialog/main_form_win32.h"
#include "display/display_win32.h"
#include "host/host_win32.h"
#include "platform/win32_handles.h"
#include "settings/profile_store.h"
#include "settings/settings_win32.h"
#include "startup/finish.h"
#include "watch/away_log.h"
#include "watch/watch_win32.h"

namespace vl {

class App final : public FormOwner, public RunControl, public Lifecycle, public Notifier {
public:
    explicit App(HINSTANCE instance);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The program's entry: returns the process exit code.
    int Main();

    // FormOwner
    RuntimeState& State() override { return state_; }
    SettingsStore& Store() override { return store_; }
    std::string ProgramFolder() const override { return programFolder_; }
    void LoadSettings() override;
    void FormUnload() override;
    void Timer1Tick() override { Timer1_Timer(state_, host_, *this); }
    void OverlayTimerTick() override;
    void DisplayPropertiesTick() override { DisplayPropertiesTimerProc(state_, host_, *this); }
    bool Try(const DialogChoices& choices) override;
    void WorkerMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // RunControl
    bool MainFormVisible() override { return form_.Visible(); }
    void SetWatchdogEnabled(bool enabled) override { form_.SetTimer1Enabled(enabled); }
    void KillFormTimer(std::uintptr_t id) override { form_.KillFormTimer(id); }
    void CheckAll() override;
    void FinishAll() override { vl::FinishAll(state_, *this); }

    // Lifecycle
    void StopWatchdog() override { form_.SetTimer1Enabled(false); }
    void SaveApplicationListOnExit() override;
    void CloseIconCarrier() override { display_.CloseCarrier(); }
    void CloseMainForm() override { form_.Close(); }

    // Notifier
    void ShowIconEx(std::int16_t nIndex, std::string& sIconPath) override;
    void ShowIcon(std::int16_t nIndex, std::string& sIconPath) override;
    void WriteText(std::string_view text) override { ShowText(state_, display_, std::string(text)); }
    void EventFound(int record, std::string_view name, std::int16_t method, std::string_view detail) override;
    bool IconShown(const std::string& icon) override;

private:
    bool AnotherInstanceRuns();
    void RunConfiguration();
    void StartChosenSaver();
    void RunSaver();
    // The run's loop: returns the code its WM_QUIT carried.
    int MessageLoop();
    void OnSaverEnded();
    // Handles what is queued, without waiting; a quit stays for the next loop.
    void PumpPendingMessages();
    // Once the run has ended: the summary of its events, when chosen and
    // there were any; returns when it has closed.
    void ShowAwaySummary();

    HINSTANCE instance_;
    RuntimeState state_;
    std::string programFolder_;
    Win32ProfileFileSystem profileFs_;
    ProfileStore store_;
    Win32SettingsFiles files_;
    Win32Host host_;
    Win32Desktop desktop_;
    JobWatch jobs_;  // what the program and folder records saw so far this run
    Win32Display display_;
    MainForm form_;
    UniqueKernelHandle instanceMutex_;
    std::string arguments_;
    bool trying_ = false;  // a try started by the dialog ("/t FILE")
    AwayLog away_;
};

}  // namespace vl
