// The one way out of the program, and the main form's unload handler.
#pragma once

#include <cstdint>

#include "core/runtime_state.h"

namespace vl {

// What shutting down acts on: the main form's timers and windows, and the
// end-of-run save. Each call must be harmless when its object is gone.
class Lifecycle {
public:
    virtual ~Lifecycle() = default;
    virtual void StopWatchdog() = 0;
    virtual void KillFormTimer(std::uintptr_t id) = 0;
    virtual void SaveApplicationListOnExit() = 0;  // marks the dialog dirty, then saves the list
    virtual void CloseIconCarrier() = 0;
    virtual void CloseMainForm() = 0;  // runs FormUnload when the form still exists
};

// Stops every timer, saves the application list at the end of a run, closes
// the windows. Safe to call twice and after the main form has gone.
void FinishAll(RuntimeState& state, Lifecycle& life);

// Runs whenever the main form closes, also straight from the dialog.
void FormUnload(const RuntimeState& state, Lifecycle& life);

}  // namespace vl
