#include "startup/finish.h"

namespace vl {

void FinishAll(RuntimeState& state, Lifecycle& life) {
    state.host.SaverConfirmed = false;  // no poll cycle may start from here on
    life.StopWatchdog();
    if (state.host.OverlayTimer != 0) life.KillFormTimer(state.host.OverlayTimer);
    if (state.host.DisplayPropertiesTimer != 0) life.KillFormTimer(state.host.DisplayPropertiesTimer);
    if (state.host.IsSaverRunning) {
        life.SaveApplicationListOnExit();
        life.CloseIconCarrier();
    }
    state.host.SaverNames.reset();
    life.CloseMainForm();
}

void FormUnload(const RuntimeState& state, Lifecycle& life) {
    life.StopWatchdog();
    if (state.host.OverlayTimer != 0) life.KillFormTimer(state.host.OverlayTimer);
    if (state.host.DisplayPropertiesTimer != 0) life.KillFormTimer(state.host.DisplayPropertiesTimer);
}

}  // namespace vl
