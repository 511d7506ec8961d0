// SSList: the main form. It is the configuration dialog and, hidden, the
// host of every run-time timer in every mode.
#pragma once

#include "platform/win32_api.h"

#include <memory>
#include <string>

#include "dialog/about_page_win32.h"
#include "dialog/dialog_host_win32.h"
#include "dialog/form_owner.h"
#include "dialog/polling_page_win32.h"
#include "dialog/position_page_win32.h"
#include "settings/save_all.h"
#include "dialog/saver_page_win32.h"
#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace vl {

class MainForm final : public DirtyFlag, public DialogHost {
public:
    // Timer ids on the form's window.
    enum TimerId : UINT_PTR {
        kTimer1 = 1,                    // the watchdog, 3000 ms, run mode only
        kOverlayTimerId = 2,            // 473 ms, armed at every load
        kDisplayPropertiesTimerId = 3,  // 100 ms, configuration mode
    };

    explicit MainForm(FormOwner& owner);
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Creates the window hidden and runs the load sequence; only the dialog
    // (configuring) fills the list of watched applications. With a modal
    // owner (the window that asked for the settings) the dialog is centred
    // over it, stays in front of it and disables it while shown.
    bool CreateAndLoad(HINSTANCE instance, bool configuring, HWND modalOwner = nullptr);
    // Fills the saver chooser (configuration mode).
    void ShowList();
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

    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // DirtyFlag: "Apply" is enabled exactly when there are unsaved changes.
    bool IsDirty() const override { return isDirty_; }
    void SetDirty(bool flag) override;
    DialogChoices Choices() const;

    // DialogHost
    RuntimeState& State() override;
    bool FillingControls() const override { return IsFillingControls; }
    void SetFillingControls(bool filling) override { IsFillingControls = filling; }
    const TwipsScale& Twips() const override { return twips_; }
    HFONT Font() const override { return font_.get(); }
    std::string Folder() const override;
    HINSTANCE Instance() const override { return instance_; }
    HWND FormWindow() const override { return hwnd_; }
    int ScreenWidthPixels() const override { return ScreenWidth; }
    int ScreenHeightPixels() const override { return ScreenHeight; }
    DialogChoices CurrentChoices() const override { return Choices(); }
    bool RunTry(const DialogChoices& choices) override { return owner_.Try(choices); }

    int ScreenWidth = 0;  // pixels of a maximised window on the primary display
    int ScreenHeight = 0;
    bool IsFillingControls = false;

private:
    void Form_Load();
    void Form_Unload();
    void Form_Activate();
    void TabStrip1_Click();
    void cmdAct_Click(int index);
    [[nodiscard]] bool Save();
    void OnTimer(UINT_PTR id);
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR* header);
    void OnActivate(bool active);
    void OnNcDestroy();
    [[nodiscard]] bool PressFocusedButton(const MSG& msg);

    void CreateControls();
    void SetScale(const TwipsScale& twips);
    [[nodiscard]] SIZE WindowSize() const;
    void PlaceWindow(POINT at);
    void OnDpiChanged(int dpi, const RECT& suggested);
    // Made where the dialog belongs, at the scale of that monitor.
    [[nodiscard]] bool CreateScaledWindow(HINSTANCE instance, const wchar_t* className);
    void ShowPage(HWND page);
    UINT_PTR ArmTimer(UniqueTimer& timer, TimerId id, UINT intervalMs);

    FormOwner& owner_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    UniqueWindow hiddenOwner_;  // an owned window gets no task-bar button
    HWND modalOwner_ = nullptr;  // another program's window: never ours to destroy
    UniqueFont font_;
    TwipsScale twips_;
    HWND tabStrip_ = nullptr;
    HWND cmdAct_[3] = {};
    std::unique_ptr<SaverPage> saverPage_;
    std::unique_ptr<PollingPage> pollingPage_;
    std::unique_ptr<PositionPage> positionPage_;
    std::unique_ptr<AboutPage> aboutPage_;
    bool isDirty_ = false;
    bool configuring_ = false;
    UINT timer1Interval_ = 0;
    UniqueTimer timer1_;
    UniqueTimer overlayTimer_;
    UniqueTimer displayPropertiesTimer_;
    HWND focusWhenInactive_ = nullptr;  // given back when the form is active again
};

}  // namespace vl
