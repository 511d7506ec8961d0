// The "Screen Saver" page: the list of installed savers and "Settings...".
#pragma once

#include "platform/win32_api.h"

#include "dialog/controls_win32.h"
#include "dialog/dialog_host_win32.h"
#include "dialog/saver_list.h"
#include "settings/save_all.h"

namespace vl {

class SaverPage final : public PageHandler {
public:
    explicit SaverPage(DialogHost& host) : host_(host) {}
    void Create();
    [[nodiscard]] HWND Frame() const { return frame_; }
    [[nodiscard]] HWND VisibleList() const { return list_; }

    // Fills both lists from the two Windows folders and selects the current saver.
    void ShowList();
    // The selection as a save takes it.
    void ReadChoice(DialogChoices& choices) const;
    // Selects entry 0 when nothing is selected; returns whether it did.
    bool SelectFirstIfNone();

    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR*) override { return 0; }

private:
    void lst_Click(int index);
    void Command1_Click();

    DialogHost& host_;
    HWND frame_ = nullptr;
    HWND list_ = nullptr;   // lst(0): display names, sorted
    HWND paths_ = nullptr;  // lst(1): full paths, hidden, in listing order
    HWND settings_ = nullptr;
};

}  // namespace vl
