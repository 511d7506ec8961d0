// The "Position" page: where notifications appear, and how.
#pragma once

#include <windows.h>

#include "dialog/controls_win32.h"
#include "dialog/dialog_host.h"
#include "settings/settings.h"

namespace vl {

class PositionPage final : public PageHandler {
public:
    explicit PositionPage(DialogHost& host) : host_(host) {}
    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }

    // Form load: the options from the loaded settings.
    void LoadOptions(const RuntimeState& state);
    void ReadChoices(DialogChoices& choices) const;

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR*) override { return 0; }

private:
    void chkBlink_Click();
    void chkEnlarge_Click();
    void optHor_Click();
    void optVer_Click();

    DialogHost& host_;
    HWND frame_ = nullptr;
    HWND label_ = nullptr;
    HWND arrange_ = nullptr;  // Frame7
    HWND optHor_ = nullptr;
    HWND optVer_ = nullptr;
    HWND chkBlink_ = nullptr;
    HWND chkEnlarge_ = nullptr;
};

}  // namespace vl
