// "While you were away": a small window listing the run's events once the
// saver has ended, and every icon with it.
#pragma once

#include "platform/win32_api.h"

#include <string>
#include <vector>

#include "core/screen_geometry.h"
#include "platform/win32_handles.h"
#include "watch/away_log.h"

namespace vl {

// The time of day in the user's short time form, without seconds.
std::string ShortTimeText(const ClockTime& at);

class AwaySummary {
public:
    // It closes by itself after this long.
    static constexpr UINT kLifetimeMs = 10 * 60 * 1000;

    AwaySummary() = default;
    AwaySummary(const AwaySummary&) = delete;
    AwaySummary& operator=(const AwaySummary&) = delete;
    ~AwaySummary();

    // Shows the lines (columns separated by tabs) at the point, kept on the
    // screen, without taking the focus; returns when the window has closed:
    // by its close button, by Esc once the user has clicked it, or by itself.
    void Run(HINSTANCE instance, const std::vector<std::string>& lines, ScreenPoint at);

    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    bool Create(HINSTANCE instance, const std::vector<std::string>& lines, ScreenPoint at);
    void SetFontForDpi(int dpi);
    void FitColumns();
    void FitAndPlace(ScreenPoint at);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnActivate(bool active);
    // Esc in the window closes it; true when it did.
    bool CloseOnEscape(const MSG& msg);

    HWND hwnd_ = nullptr;  // destroyed by itself or by the destructor
    HWND list_ = nullptr;
    UniqueFont font_;
    int dpi_ = 96;
    UniqueTimer lifetime_;
};

}  // namespace vl
