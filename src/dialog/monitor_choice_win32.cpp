#include "dialog/monitor_choice_win32.h"

#include "dialog/controls_win32.h"
#include "platform/win32_util.h"

namespace vl {

// Under "Try", beside the miniature it changes.
void MonitorChoice::Create(HWND frame, HFONT font, const TwipsScale& twips, int listId) {
    label_ = CreateControl(frame, L"STATIC", L"Monitor", SS_LEFT, {3960, 675, 780, 225}, listId - 1, font, twips);
    list_ = CreateControl(frame, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {3960, 915, 780, 1500},
                          listId, font, twips);
}

void MonitorChoice::Fill(std::vector<Monitor> monitors, const std::string& stored) {
    monitors_ = std::move(monitors);
    ::SendMessageW(list_, CB_RESETCONTENT, 0, 0);
    const Monitor* chosen = NotifyMonitorOf(monitors_, stored);
    for (size_t i = 0; i < monitors_.size(); ++i) {
        ::SendMessageW(list_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(MonitorNumber(monitors_[i], i)).c_str()));
        if (&monitors_[i] == chosen) ::SendMessageW(list_, CB_SETCURSEL, i, 0);
    }
    for (HWND control : {label_, list_}) ::ShowWindow(control, Shown() ? SW_SHOWNA : SW_HIDE);
}

const Monitor* MonitorChoice::Selected() const {
    const LRESULT at = ::SendMessageW(list_, CB_GETCURSEL, 0, 0);
    if (at < 0 || static_cast<size_t>(at) >= monitors_.size()) return NotifyMonitorOf(monitors_, "");
    return &monitors_[static_cast<size_t>(at)];
}

ScreenPoint MonitorChoice::ScreenSize(ScreenPoint primary) const {
    const Monitor* chosen = Shown() ? Selected() : nullptr;
    if (!chosen || chosen->primary) return primary;
    return {chosen->rect.right - chosen->rect.left, chosen->rect.bottom - chosen->rect.top};
}

GlassRect MonitorChoice::Glass() const {
    const Monitor* chosen = Shown() ? Selected() : nullptr;
    if (!chosen) return kWholeGlass;
    return GlassFor(chosen->rect.right - chosen->rect.left, chosen->rect.bottom - chosen->rect.top);
}

}  // namespace vl
