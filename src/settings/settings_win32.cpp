#include "settings/settings_win32.h"

#include <algorithm>
#include <vector>

#include "core/utf.h"
#include "platform/win32_api.h"
#include "platform/win32_handles.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "settings/icon_file.h"

namespace vl {
namespace {

// Private-profile values larger than this are not worth a bigger buffer.
constexpr DWORD kMaxValueLength = 1 << 20;

std::optional<std::string> ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = ::FindResourceW(module, name, type);
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, found);  // resources need no freeing
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(module, found);
    if (!data || size == 0) return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace

std::string Win32ProfileFileSystem::ReadString(const std::string& path, std::string_view section, std::string_view key,
                                               std::string_view fallback) {
    const std::wstring s = Wide(section), k = Wide(key), f = Wide(fallback), file = Wide(path);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
        n = std::min<DWORD>(n, static_cast<DWORD>(buffer.size() - 1));  // never past the buffer, whatever comes back
        // A value that filled the buffer may have been cut: read it again, larger.
        if (n + 1 < buffer.size() || buffer.size() >= kMaxValueLength)
            return Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 4);
    }
}

bool Win32ProfileFileSystem::WriteString(const std::string& path, std::string_view section, std::string_view key,
                                         std::string_view value) {
    const std::wstring s = Wide(section), k = Wide(key), v = Wide(value);
    return ::WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), Wide(path).c_str()) || RecordFailure();
}

namespace {

// The file's bytes; nothing when it cannot be read, empty when it is missing.
std::optional<std::string> FileBytes(const std::string& path, DWORD most) {
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::string();
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 30)) return std::nullopt;
    std::string bytes(std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), most), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::nullopt;
    bytes.resize(read);
    return bytes;
}

bool HasUnicodeMark(std::string_view bytes) {
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

// A double-NUL-ended list of strings, as the section calls return it, read
// with a buffer grown until it holds everything.
template <typename Call>
std::vector<wchar_t> ReadNulSeparatedList(Call call) {
    std::vector<wchar_t> buffer(1 << 16);
    for (;;) {
        const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        // A full buffer comes back as its size less two: it may have been cut.
        if (n + 2 < buffer.size() || buffer.size() >= (1u << 30)) {
            buffer.resize(std::min<size_t>(n, buffer.size()));
            return buffer;
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::vector<std::string> Strings(const std::vector<wchar_t>& list) {
    std::vector<std::string> strings;
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::find(list.begin() + static_cast<std::ptrdiff_t>(at), list.end(), L'\0') - list.begin();
        if (end > at) strings.push_back(Narrow(std::wstring_view(list.data() + at, end - at)));
        at = end + 1;
    }
    return strings;
}

}  // namespace

KeyValues Win32ProfileFileSystem::ReadSection(const std::string& path, std::string_view section) {
    const std::wstring s = Wide(section), file = Wide(path);
    KeyValues entries;
    for (const std::string& line : Strings(ReadNulSeparatedList([&](wchar_t* buffer, DWORD size) {
             return ::GetPrivateProfileSectionW(s.c_str(), buffer, size, file.c_str());
         }))) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;  // a line without a key
        std::string key = line.substr(0, equals);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        std::string value = line.substr(equals + 1);
        // As a key's own read gives it: one pair of enclosing quotes goes.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        entries.emplace_back(std::move(key), std::move(value));
    }
    return entries;
}

std::vector<std::string> Win32ProfileFileSystem::SectionNames(const std::string& path) {
    const std::wstring file = Wide(path);
    return Strings(ReadNulSeparatedList(
        [&](wchar_t* buffer, DWORD size) { return ::GetPrivateProfileSectionNamesW(buffer, size, file.c_str()); }));
}

bool Win32ProfileFileSystem::KeepsWhole(const std::string& path, std::string_view text) {
    const std::optional<std::string> head = FileBytes(path, 3);
    if (!head || head->empty()) return false;
    if (HasUnicodeMark(*head) || ::GetACP() == CP_UTF8) return true;
    const std::wstring units = Wide(text);
    BOOL lost = FALSE;  // no best fit either: a letter must not come back as a look-alike
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units.data(), static_cast<int>(units.size()), nullptr, 0,
                          nullptr, &lost);
    return !lost;
}

std::optional<std::string> Win32ProfileFileSystem::WholeText(const std::string& path) {
    // Cached writes first, so the text is the file as the profile calls see it.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(path).c_str());
    std::optional<std::string> bytes = FileBytes(path, MAXDWORD);
    if (!bytes) {
        RecordFailure();
        if (lastError_ == ERROR_SUCCESS) lastError_ = ERROR_READ_FAULT;  // too large, or read short
        return bytes;
    }
    if (bytes->empty() || HasUnicodeMark(*bytes)) return TextOfFileBytes(*bytes);
    const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes->data(), static_cast<int>(bytes->size()), nullptr, 0);
    std::wstring units(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes->data(), static_cast<int>(bytes->size()), units.data(), n);
    return Narrow(units);
}

bool Win32ProfileFileSystem::WriteWholeFile(const std::string& path, std::string_view content) {
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return RecordFailure();
    // In pieces: WriteFile takes 32-bit lengths.
    for (size_t at = 0; at < content.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - at, 1u << 24));
        DWORD written = 0;
        if (!::WriteFile(file.get(), content.data() + at, chunk, &written, nullptr) || written != chunk)
            return RecordFailure();
        at += chunk;
    }
    return true;
}

bool Win32ProfileFileSystem::Flush(const std::string& path) {
    // All-null arguments flush the system's cached copy of the file.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(path).c_str());
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return (file && ::FlushFileBuffers(file.get())) || RecordFailure();
}

bool Win32ProfileFileSystem::Remove(const std::string& path) {
    if (::DeleteFileW(Wide(path).c_str())) return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || RecordFailure();
}

bool Win32ProfileFileSystem::Rename(const std::string& from, const std::string& to) {
    // A file the user marked read-only is not replaced. Windows refuses it
    // itself; some file systems and emulations do not, and the mark must
    // hold everywhere. A file held open without sharing is refused too.
    const DWORD attributes = ::GetFileAttributesW(Wide(to).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return RecordFailure();
    }
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           RecordFailure();
}

bool Win32ProfileFileSystem::RecordFailure() {
    lastError_ = ::GetLastError();
    return false;
}

std::string Win32ProfileFileSystem::LastFailure() {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        lastError_, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Narrow(std::wstring_view(text, n)) : "Error " + std::to_string(lastError_) + ".";
    if (text) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

void Win32ProfileFileSystem::RemoveOlderThan(const std::string& pattern, std::uint64_t maxAgeMs) {
    const std::string::size_type slash = pattern.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    FILETIME nowFt{};
    ::GetSystemTimeAsFileTime(&nowFt);
    const auto ticks = [](const FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    const std::uint64_t now = ticks(nowFt);
    WIN32_FIND_DATAW found{};
    const UniqueFind find(::FindFirstFileW(Wide(pattern).c_str(), &found));
    if (!find) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::uint64_t written = ticks(found.ftLastWriteTime);
        if (written < now && (now - written) / 10000 > maxAgeMs)
            ::DeleteFileW((Wide(folder) + found.cFileName).c_str());  // may be in use: then it stays
    } while (::FindNextFileW(find.get(), &found));
}

bool Win32SettingsFiles::FileExists(const std::string& path) { return IsExistingFile(path); }

std::optional<std::uint64_t> Win32SettingsFiles::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool Win32SettingsFiles::MoveAside(const std::string& path, const std::string& to) {
    return ::MoveFileExW(Wide(path).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;  // never replaces `to`
}

void Win32SettingsFiles::Log(std::string_view line) {
    AppendDiagnosticLog(std::string(line) + "\r\n");  // a log that cannot be written changes nothing
}

bool Win32SettingsFiles::WriteOwnIcon(const std::string& path) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    std::optional<std::string> group = ResourceBytes(self, MAKEINTRESOURCE(IDI_VIGILUMEN), RT_GROUP_ICON);
    if (!group) return false;
    std::optional<std::string> ico = IcoFileFromGroup(
        *group, [self](std::uint16_t id) { return ResourceBytes(self, MAKEINTRESOURCE(id), RT_ICON); });
    if (!ico) return false;
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), ico->data(), static_cast<DWORD>(ico->size()), &written, nullptr) &&
           written == ico->size();
}

}  // namespace vl
