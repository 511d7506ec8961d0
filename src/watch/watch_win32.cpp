#include "watch/watch_win32.h"

#include <iterator>

#include "platform/win32_system_dll.h"
#include "platform/win32_util.h"
#include "watch/general_date.h"

namespace vl {
namespace {

constexpr ULONG kMapiUnreadOnly = 0x20;
constexpr size_t kMessageIdSize = 512;  // what Simple MAPI asks the caller to provide

// The caption as Windows keeps it, without a message to the window: no
// window, hung or of this thread, can hold the poll up, and a window of
// another process costs one round trip instead of two. A long caption is
// asked for again with room for the longest there can be.
std::string CaptionOf(HWND window) {
    wchar_t buffer[256];
    const int got = ::InternalGetWindowText(window, buffer, static_cast<int>(std::size(buffer)));
    if (got < static_cast<int>(std::size(buffer)) - 1) return Narrow(std::wstring_view(buffer, got > 0 ? got : 0));
    std::wstring text(32768, L'\0');
    const int all = ::InternalGetWindowText(window, text.data(), static_cast<int>(text.size()));
    text.resize(all > 0 ? static_cast<size_t>(all) : 0);
    return Narrow(text);
}

BOOL CALLBACK CollectCaption(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(CaptionOf(window));
    return TRUE;  // every top-level window, always
}

std::string LocaleText(int(WINAPI* format)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int), DWORD flags,
                       const SYSTEMTIME& t) {
    wchar_t buffer[128] = {};
    int n = format(LOCALE_USER_DEFAULT, flags, &t, nullptr, buffer, static_cast<int>(std::size(buffer)));
    return n > 0 ? Narrow(std::wstring_view(buffer, static_cast<size_t>(n - 1))) : std::string();
}

std::string GeneralDateOf(const SYSTEMTIME& t, bool hasDate) {
    DateParts parts;
    parts.hasDate = hasDate;
    parts.midnight = t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0;
    if (hasDate) parts.shortDate = LocaleText(::GetDateFormatW, DATE_SHORTDATE, t);
    parts.longTime = LocaleText(::GetTimeFormatW, 0, t);
    return GeneralDateText(parts);
}

}  // namespace

std::vector<std::string> AllTopLevelCaptions() {
    std::vector<std::string> captions;
    ::EnumWindows(CollectCaption, reinterpret_cast<LPARAM>(&captions));
    return captions;
}

std::optional<std::string> FileModifiedGeneralDate(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME utc{}, t{};
    // The daylight-saving offset in force when the file was written, not
    // today's: otherwise every clock change would report every file once.
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        !::FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &t))
        return std::nullopt;
    return GeneralDateOf(t, true);
}

std::string NormalizeGeneralDate(const std::string& text) {
    if (text.empty()) return text;
    std::wstring wide = Wide(text);
    DATE date = 0;
    SYSTEMTIME t{};
    static const auto parse = SystemFunction<decltype(&::VarDateFromStr)>(L"oleaut32.dll", "VarDateFromStr");
    static const auto toTime =
        SystemFunction<decltype(&::VariantTimeToSystemTime)>(L"oleaut32.dll", "VariantTimeToSystemTime");
    if (!parse || !toTime || FAILED(parse(wide.data(), LOCALE_USER_DEFAULT, 0, &date)) || !toTime(date, &t))
        return text;
    return GeneralDateOf(t, static_cast<long long>(date) != 0);
}

std::string Win32Desktop::NormalizeDate(const std::string& stored) {
    if (const auto found = normalized_.find(stored); found != normalized_.end()) return found->second;
    if (normalized_.size() >= 256) normalized_.clear();  // dates of records long gone
    return normalized_[stored] = NormalizeGeneralDate(stored);
}

bool Win32Mapi::Available() {
    if (library_) return true;
    wchar_t system[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::wstring path = std::wstring(system, n) + L"\\MAPI32.DLL";
    UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return false;
    auto logon = reinterpret_cast<LogonFn>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "MAPILogon")));
    auto find = reinterpret_cast<FindNextFn>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "MAPIFindNext")));
    auto logoff = reinterpret_cast<LogoffFn>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "MAPILogoff")));
    if (!logon || !find || !logoff) return false;
    library_ = std::move(library);
    logon_ = logon;
    findNext_ = find;
    logoff_ = logoff;
    return true;
}

std::uintptr_t Win32Mapi::Logon() {
    char profile[] = "";
    char password[] = "";
    ULONG_PTR session = 0;
    logon_(0, profile, password, 0, 0, &session);
    return session;
}

std::string Win32Mapi::FindNextUnread(std::uintptr_t session) {
    char type[] = "";
    char seed[] = "";
    char id[kMessageIdSize] = {};
    findNext_(session, 0, type, seed, kMapiUnreadOnly, 0, id);
    id[kMessageIdSize - 1] = '\0';
    return id;
}

void Win32Mapi::Logoff(std::uintptr_t session) { logoff_(session, 0, 0, 0); }

}  // namespace vl
