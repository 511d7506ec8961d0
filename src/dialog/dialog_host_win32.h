// What the dialog's pages need from the form that holds them.
#pragma once

#include "platform/win32_api.h"

#include <string>

#include "core/runtime_state.h"
#include "dialog/form_flags.h"
#include "settings/save_all.h"
#include "platform/twips.h"

namespace vl {

class DialogHost : public FormFlags {
public:
    virtual RuntimeState& State() = 0;
    virtual const TwipsScale& Twips() const = 0;
    virtual HFONT Font() const = 0;
    virtual std::string Folder() const = 0;  // the program folder
    virtual HINSTANCE Instance() const = 0;
    virtual HWND FormWindow() const = 0;
    // The size of a maximised window on the primary display, in pixels.
    virtual int ScreenWidthPixels() const = 0;
    virtual int ScreenHeightPixels() const = 0;
    // What the pages show now, saved or not.
    virtual DialogChoices CurrentChoices() const = 0;
    // Runs the chosen saver over these choices as a run would; returns when
    // it has ended, false when it could not start.
    virtual bool RunTry(const DialogChoices& choices) = 0;
};

// Frames of the four pages sit at the same place; only the shown one is on the window.
inline constexpr double kPageShownLeft = 135;
inline constexpr double kPageParkedLeft = -20000;
inline constexpr double kPageWidth = 4785;
inline constexpr double kSaverPageWidth = 4605;  // the list's columns are half of it each
inline constexpr double kPageHeight = 4965;

}  // namespace vl
