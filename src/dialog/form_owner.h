// What the main form needs from the program that owns it: the shared state,
// the settings file, and the work its load sequence and timers start.
#pragma once

#include <cstdint>
#include <string>

#include "core/runtime_state.h"
#include "settings/save_all.h"
#include "settings/settings_store.h"

namespace vl {

class FormOwner {
public:
    virtual ~FormOwner() = default;
    virtual RuntimeState& State() = 0;
    virtual SettingsStore& Store() = 0;
    [[nodiscard]] virtual std::string ProgramFolder() const = 0;
    virtual void LoadSettings() = 0;
    virtual void FormUnload() = 0;  // the form's window is going
    virtual void Timer1Tick() = 0;
    virtual void OverlayTimerTick() = 0;
    virtual void DisplayPropertiesTick() = 0;
    // A worker thread posted what it learnt (a message of the workers' range).
    virtual void WorkerMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Runs the chosen saver over these unsaved choices, as a run would, and
    // returns when it has ended; false when it could not start.
    virtual bool Try(const DialogChoices& choices) = 0;
};

}  // namespace vl
