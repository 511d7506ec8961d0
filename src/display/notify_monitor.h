// Which monitor the notifications go to, and where on it: the stored
// position counts from that monitor's top-left corner, and whatever is shown
// there stays whole on it.
#pragma once

#include <string>
#include <vector>

#include "core/screen_geometry.h"

namespace vl {

struct Monitor {
    ScreenRect rect;   // screen pixels; left of or above the primary they are negative
    std::string name;  // the device name Windows gives it
    bool primary = false;
};

// The monitor of the stored name; the primary where none is stored or that
// one is gone; the first where none says it is primary. Null for no monitors.
const Monitor* NotifyMonitorOf(const std::vector<Monitor>& monitors, const std::string& stored);

// How the user knows a monitor: the number Windows shows for it (the digits
// its device name ends with), else its place in the list, from 1.
std::string MonitorNumber(const Monitor& monitor, size_t index);

// A rectangle of this size, its top-left corner `offset` from the monitor's,
// moved as little as it takes to lie whole on the monitor; one larger than
// the monitor keeps to the monitor's top-left corner. An empty monitor
// rectangle (none known) places it at the offset as it is.
ScreenRect PlaceOnMonitor(const ScreenRect& monitor, ScreenPoint offset, int width, int height);

}  // namespace vl
