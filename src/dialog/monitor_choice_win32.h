// The "Position" page's choice of the monitor the notifications go to,
// shown only where there is more than one.
#pragma once

#include "platform/win32_api.h"

#include <string>
#include <vector>

#include "dialog/position_map.h"
#include "display/notify_monitor.h"
#include "platform/twips.h"

namespace vl {

class MonitorChoice {
public:
    void Create(HWND frame, HFONT font, const TwipsScale& twips, int listId);
    // Lists the monitors by their numbers and selects the stored one (the
    // primary where it is gone); hidden for one monitor.
    void Fill(std::vector<Monitor> monitors, const std::string& stored);
    // Null while nothing is listed.
    [[nodiscard]] const Monitor* Selected() const;
    [[nodiscard]] bool Shown() const { return monitors_.size() > 1; }
    // The screen the miniature stands for: the primary as the caller
    // measures it, or the whole of another monitor chosen.
    [[nodiscard]] ScreenPoint ScreenSize(ScreenPoint primary) const;
    // The glass in the chosen monitor's shape; whole for one monitor.
    [[nodiscard]] GlassRect Glass() const;

private:
    HWND label_ = nullptr;
    HWND list_ = nullptr;
    std::vector<Monitor> monitors_;
};

}  // namespace vl
