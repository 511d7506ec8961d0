// A try: every ticked record shown at once, as if each had its event, so the
// user sees where and how notifications will look before leaving.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/runtime_state.h"
#include "watch/poll_cycle.h"

namespace vl {

// What one record shows when it has an event: an icon, or a line of text
// where the poll cycle would write one (mail or a file without an icon).
struct TriedEvent {
    std::int16_t method = 0;
    std::string icon;  // as the record names it; empty with a text
    std::string text;  // empty with an icon
};

// The events of the ticked records, in list order. Records the poll cycle
// would never look at (unticked, damaged, of an unknown method) show nothing.
// A window record without an icon shows the no-entry sign, as in a run.
std::vector<TriedEvent> TriedEvents(const AppList& apps);

// Hands every tried event to the display, as the poll cycle hands a real
// one. The display shows an icon path once, so this may run on every tick.
void ShowTriedEvents(RuntimeState& state, Notifier& notifier);

}  // namespace vl
