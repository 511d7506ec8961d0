#include "platform/win32_util.h"

#include <cwchar>
#include <iterator>
#include <vector>

#include "platform/dpi.h"
#include "platform/win32_handles.h"
#include "platform/win32_system_dll.h"

namespace vl {

namespace {

// Windows starts a saver by the short (8.3) path its settings hold; the
// program's paths are kept long, as the user knows them and as the Open
// dialog gives them. Only a path with a "~" can hold a short name.
std::wstring LongPath(std::wstring path) {
    if (path.find(L'~') == std::wstring::npos) return path;
    std::wstring longer(path.size() + MAX_PATH, L'\0');
    DWORD n = ::GetLongPathNameW(path.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n >= longer.size()) {
        longer.resize(n);
        n = ::GetLongPathNameW(path.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    }
    if (n == 0 || n >= longer.size()) return path;
    longer.resize(n);
    return longer;
}

}  // namespace

std::string ModuleFileName() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return Narrow(LongPath(std::wstring(buffer.data(), n)));
        buffer.resize(buffer.size() * 2);  // a long path was cut: ask again
    }
}

namespace {

bool AppendToFile(const wchar_t* path, std::string_view text) {
    const UniqueFileHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace

bool AppendDiagnosticLog(std::string_view text) {
    if (AppendToFile(L"c:\\log.txt", text)) return true;
    // A standard user of today's Windows may not create a file in the root
    // of drive C:; the data folder beside the program is the user's own. The
    // path is built in place: the i686 file has no room for a round trip
    // through the program's long path, and the short form names the same folder.
    wchar_t path[MAX_PATH + 32];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = n > 0 && n < MAX_PATH ? std::wcsrchr(path, L'\\') : nullptr;
    if (!slash) return false;
    std::wcscpy(slash, L"\\QVX_data\\log.txt");  // the data folder of core/data_folder.h
    return AppendToFile(path, text);
}

std::string ProgramFolder() {
    const std::string path = ModuleFileName();
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

HMODULE SystemDll(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    // Loaded for good: the handle is the process's, like an import's.
    return ::LoadLibraryExW((std::wstring(folder, n) + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool IsExistingFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TwipsScale ScreenTwips() {
    UniqueWindowDc screen = GetWindowDc(nullptr);
    if (!screen) return {};
    return TwipsScale::FromDpi(::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY));
}

namespace {

int SystemDpi() {
    UniqueWindowDc screen = GetWindowDc(nullptr);
    return screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : kBaseDpi;
}

}  // namespace

// The per-monitor DPI functions exist from Windows 10 on.
int WindowDpi(HWND window) {
    static const auto forWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (forWindow && window)
        if (const UINT dpi = forWindow(window)) return static_cast<int>(dpi);
    return SystemDpi();
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    static const auto forDpi = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!forDpi || !forDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

bool MessageFontForDpi(LOGFONTW& font, int dpi) {
    static const auto forDpi = User32Function<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        font = metrics.lfMessageFont;
        return true;
    }
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, dpi, SystemDpi());  // given at the system's DPI
    return true;
}

std::string WindowTextOf(HWND window) {
    // One call for the usual short caption (each call may be a round trip to
    // another process); a longer one is asked for its length.
    wchar_t buffer[256];
    int got = ::GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    if (got < static_cast<int>(std::size(buffer)) - 1) return Narrow(std::wstring_view(buffer, got > 0 ? got : 0));
    const int n = ::GetWindowTextLengthW(window);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    got = ::GetWindowTextW(window, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return Narrow(text);
}

}  // namespace vl
