// frmIcon: the small borderless window that carries the notification icons.
// It exists from the run-mode launch on, parked off the screen.
#pragma once

#include <windows.h>

#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace vl {

class IconCarrier {
public:
    // Creates the window, parks it at Left -20000 twips, 1 x 1 twip, and
    // shows it without taking the activation from the saver.
    bool CreateParked(HINSTANCE instance, const TwipsScale& twips);
    void Close();
    [[nodiscard]] HWND hwnd() const { return window_.get(); }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    UniqueWindow window_;
};

}  // namespace vl
