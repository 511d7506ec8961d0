// Entry point of DemoSaver.scr, a small self-contained screen saver. Windows
// starts it with /s to run, /p HWND to draw into the preview box and /c to
// configure.
#include <array>
#include <cstdint>

#include "command_line.h"
#include "platform/win32_api.h"
#include "resource.h"
#include "saver_window_win32.h"

namespace {

using demosaver::Command;
using demosaver::Mode;

std::array<wchar_t, 256> LoadText(HINSTANCE instance, UINT id, const wchar_t* fallback) {
    std::array<wchar_t, 256> text{};
    if (::LoadStringW(instance, id, text.data(), static_cast<int>(text.size())) <= 0)
        ::lstrcpynW(text.data(), fallback, static_cast<int>(text.size()));
    return text;
}

int ShowNoOptions(HINSTANCE instance, HWND owner) {
    if (!owner || !::IsWindow(owner)) owner = ::GetForegroundWindow();
    const auto title = LoadText(instance, IDS_DISPLAY_NAME, L"Vigilumen Demo");
    const auto body = LoadText(instance, IDS_NO_OPTIONS, L"This screen saver has no options you can set.");
    ::MessageBoxW(owner, body.data(), title.data(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

HWND ToWindow(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    // Draw at the screen's real resolution rather than a blurry scaled one.
    ::SetProcessDPIAware();

    const Command command = demosaver::ParseCommandLine(arguments);
    switch (command.mode) {
        case Mode::Run: return demosaver::SaverWindow::RunFullScreen(instance);
        case Mode::Preview: return demosaver::SaverWindow::RunPreview(instance, ToWindow(command.window));
        case Mode::Configure: return ShowNoOptions(instance, ToWindow(command.window));
        case Mode::Ignore: return 0;
    }
    return 0;
}
