#pragma once

#include "NightSky.h"

#include <windows.h>

namespace demosaver {

// The one window of the saver: full screen when running, a child of the
// preview box otherwise. Both animate the same sky.
class SaverWindow {
public:
    enum class Kind { FullScreen, Preview };

    // Full-screen run over the whole virtual screen. Returns the exit code.
    static int RunFullScreen(HINSTANCE instance);
    // Animates inside `parent` until it goes away. Returns the exit code.
    static int RunPreview(HINSTANCE instance, HWND parent);

    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

private:
    enum class TimerId : UINT_PTR { Animate = 1 };

    explicit SaverWindow(Kind kind, HWND parent) : kind_(kind), parent_(parent) {}

    static bool RegisterClassOnce(HINSTANCE instance);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static int PumpMessages();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT OnCreate();
    LRESULT OnSize(int width, int height);
    LRESULT OnTimer(TimerId id);
    LRESULT OnEraseBackground();
    LRESULT OnPaint();
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(int x, int y, WPARAM wParam, LPARAM lParam);
    LRESULT OnUserInput(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnActivateApp(bool active, WPARAM wParam, LPARAM lParam);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy();

    // Ends a full-screen run; touchy on purpose.
    void Finish();
    bool Touchy() const { return kind_ == Kind::FullScreen; }

    Kind kind_;
    HWND parent_;
    HWND window_ = nullptr;
    NightSky sky_;
    bool timerRunning_ = false;
    bool finishing_ = false;
    bool everActive_ = false;
    bool haveMouseOrigin_ = false;
    POINT mouseOrigin_{};
};

}  // namespace demosaver
