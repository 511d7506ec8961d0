// The "About" page: the product picture, name, version and notices.
#pragma once

#include "platform/win32_api.h"

#include "dialog/controls_win32.h"
#include "dialog/dialog_host_win32.h"
#include "platform/win32_handles.h"

namespace vl {

class AboutPage final : public PageHandler {
public:
    explicit AboutPage(DialogHost& host) : host_(host) {}
    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }
    // Form load, last step: the texts.
    void FillTexts();
    // The controls are placed again already; the picture and the title's font follow.
    void DpiChanged();

    void OnCommand(int, int, HWND) override {}
    LRESULT OnNotify(NMHDR*) override { return 0; }

private:
    DialogHost& host_;
    HWND frame_ = nullptr;
    HWND picture_ = nullptr;
    HWND title_ = nullptr;
    HWND version_ = nullptr;
    HWND description_ = nullptr;
    HWND disclaimer_ = nullptr;
    UniqueBitmap productPicture_;
    UniqueFont titleFont_;
};

}  // namespace vl
