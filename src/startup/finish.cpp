#include "startup/finish.h"

namespace vl {

void FinishAll(RuntimeState& state, Lifecycle& life) {
    state.SaverConfirmed = false;  // no poll cycle may start from here on
    life.StopWatchdog();
    if (state.OverlayTimer != 0) life.KillFormTimer(state.OverlayTimer);
    if (state.DisplayPropertiesTimer != 0) life.KillFormTimer(state.DisplayPropertiesTimer);
    if (state.IsSaverRunning) {
        life.SaveApplicationListOnExit();
        life.CloseIconCarrier();
    }
    state.SaverNames.reset();
    life.CloseMainForm();
}

void FormUnload(const RuntimeState& state, Lifecycle& life) {
    life.StopWatchdog();
    if (state.OverlayTimer != 0) life.KillFormTimer(state.OverlayTimer);
    if (state.DisplayPropertiesTimer != 0) life.KillFormTimer(state.DisplayPropertiesTimer);
}

}  // namespace vl
