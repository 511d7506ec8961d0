// Entry point of Vigilumen.scr.
#include <windows.h>

#include <string>

#include "platform/win32_handles.h"
#include "res/resource.h"
#include "startup/mode.h"

namespace {

constexpr char kMainClassName[] = "Vigilumen.SSList";

std::string ProgramFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    size_t slash = s.find_last_of('\\');
    return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

std::string ReadChosenSaver() {
    std::string file = ProgramFolder() + "\\QVX_data\\Lumiwake.ini";
    char value[1024] = {};
    DWORD n = ::GetPrivateProfileStringA("settings", "scrfile", "", value, sizeof value, file.c_str());
    return std::string(value, n);
}

vl::UniqueProcessInformation StartSaver(const std::string& saverPath, std::string_view arguments) {
    std::string commandLine = saverPath + " " + std::string(arguments);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return {};
    return vl::UniqueProcessInformation(pi);
}

bool RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_VIGILUMEN));
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClassName;
    return ::RegisterClassExA(&wc) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!RegisterMainClass(instance)) return 1;

    std::string_view arguments = vl::ArgumentsOf(::GetCommandLineA());
    vl::Mode mode = vl::ModeOfSwitch(vl::ReduceSwitch(arguments));
    if (mode != vl::Mode::Run && mode != vl::Mode::Preview) return 0;

    std::string saver = ReadChosenSaver();
    if (saver.empty()) return 0;
    vl::UniqueProcessInformation started = StartSaver(saver, arguments);
    if (mode == vl::Mode::Run && started.process)
        ::WaitForSingleObject(started.process.get(), INFINITE);
    return 0;
}
