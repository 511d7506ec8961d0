#include "platform/win32_util.h"

#include <vector>

#include "platform/win32_handles.h"

namespace vl {

std::string ModuleFileName() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);  // a long path was cut: ask again
    }
}

bool AppendDiagnosticLog(std::string_view text) {
    UniqueFileHandle log(::CreateFileA("c:\\log.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return false;
    DWORD written = 0;
    return ::WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string ProgramFolder() {
    const std::string path = ModuleFileName();
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool FileExistsA(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TwipsScale ScreenTwips() {
    UniqueWindowDc screen = GetWindowDc(nullptr);
    if (!screen) return {};
    return TwipsScale::FromDpi(::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY));
}

std::string WindowTextOf(HWND window) {
    int n = ::GetWindowTextLengthA(window);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    int got = ::GetWindowTextA(window, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

}  // namespace vl
