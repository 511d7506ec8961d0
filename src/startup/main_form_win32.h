// SSList: the main form. It is the configuration dialog and, hidden, the
// host of every run-time timer in every mode.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "platform/twips.h"
#include "platform/win32_handles.h"
#include "settings/settings.h"

namespace vl {

class App;

class MainForm final : public DirtyFlag {
public:
    // Timer ids on the form's window.
    enum TimerId : UINT_PTR {
        kTimer1 = 1,                   // the watchdog, 3000 ms, run mode only
        kOverlayTimerId = 2,           // 473 ms, armed at every load
        kDisplayPropertiesTimerId = 3, // 100 ms, configuration mode
    };

    explicit MainForm(App& app) : app_(app) {}
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Creates the window hidden and runs the load sequence.
    bool CreateAndLoad(HINSTANCE instance);
    // Shows the form as the modal dialog; returns when it has closed.
    void ShowModal();
    // Closes the form (its unload handler runs); harmless when already closed.
    void Close();

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] bool Exists() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }
    [[nodiscard]] bool Visible() const { return Exists() && ::IsWindowVisible(hwnd_); }
    [[nodiscard]] const TwipsScale& twips() const { return twips_; }

    // The watchdog Timer1: a timer control that is switched on and off.
    void SetTimer1Enabled(bool enabled);
    void KillFormTimer(UINT_PTR id);
    UINT_PTR ArmDisplayPropertiesWatch();

    // DirtyFlag
    bool IsDirty() const override { return isDirty_; }
    void SetDirty(bool flag) override;
    DialogChoices Choices() const;

    int ScreenWidth = 0;   // pixels of a maximised window on the primary display
    int ScreenHeight = 0;
    int CurrentSaverIndex = -1;
    bool IsFillingControls = false;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static void CALLBACK OverlayTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    static void CALLBACK DisplayPropertiesTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    static MainForm* FromHandle(HWND hwnd);

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Form_Load();
    void Form_Unload();
    void OnTimer(UINT_PTR id);
    void OnClose();

    void CreateControls();
    void FillAppList();

    App& app_;
    HWND hwnd_ = nullptr;
    HWND lvAppList_ = nullptr;
    TwipsScale twips_;
    bool isDirty_ = false;
    bool timer1Enabled_ = false;
    UINT timer1Interval_ = 0;
    std::map<int, std::string> rowKeys_;  // list row id -> its key ("app0", "app#...")
};

}  // namespace vl
