// The one window of the saver: full screen when running, a child of the
// preview box otherwise. Both animate the same sky; only the full-screen one
// ends on input.
#pragma once

#include "platform/win32_api.h"

#include "night_sky_win32.h"
#include "platform/win32_handles.h"

namespace demosaver {

class SaverWindow {
public:
    // Full-screen run over the whole virtual screen. Returns the exit code.
    static int RunFullScreen(HINSTANCE instance);
    // Animates inside `parent` until it goes away. Returns the exit code.
    static int RunPreview(HINSTANCE instance, HWND parent);

    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    // The window's messages (the window-class helper calls it).
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    enum class Kind { FullScreen, Preview };
    enum TimerId : UINT_PTR { kAnimateTimer = 1 };

    SaverWindow(Kind kind, HWND parent) : kind_(kind), parent_(parent) {}

    static bool RegisterClassOnce(HINSTANCE instance);
    static int PumpMessages();

    LRESULT OnCreate();
    LRESULT OnSize(int width, int height);
    LRESULT OnTimer(UINT_PTR id);
    LRESULT OnPaint();
    LRESULT OnSetCursor(WPARAM wp, LPARAM lp);
    LRESULT OnMouseMove(int x, int y, WPARAM wp, LPARAM lp);
    LRESULT OnUserInput(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnActivateApp(bool active, WPARAM wp, LPARAM lp);
    LRESULT OnSysCommand(WPARAM wp, LPARAM lp);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy(WPARAM wp, LPARAM lp);

    // Ends a full-screen run; touchy on purpose.
    void Finish();
    [[nodiscard]] bool Touchy() const { return kind_ == Kind::FullScreen; }

    Kind kind_;
    HWND parent_;
    HWND hwnd_ = nullptr;  // from WM_NCCREATE to WM_NCDESTROY; the Run function owns the window
    NightSky sky_;
    vl::UniqueTimer animation_;
    bool finishing_ = false;
    bool everActive_ = false;
    bool haveMouseOrigin_ = false;
    POINT mouseOrigin_{};
};

}  // namespace demosaver
