#include "host/host_win32.h"

#include <cstring>
#include <vector>

#include "host/launch.h"
#include "platform/win32_util.h"

namespace vl {

namespace {

// Both folders fit in MAX_PATH, as Windows asks of their callers' buffers.
std::string FolderFrom(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t buffer[MAX_PATH];
    const UINT n = query(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Narrow(std::wstring_view(buffer, n)) : std::string();
}

}  // namespace

SaverFolders ThisSaverFolders() {
    SaverFolders folders{FolderFrom(::GetWindowsDirectoryW), FolderFrom(::GetSystemDirectoryW), {}};
    // A 32-bit program on 64-bit Windows sees System32 redirected to the
    // 32-bit files, where a 64-bit saver does not lie. Windows keeps the alias
    // Sysnative for it to reach the real folder, file by file; turning the
    // redirection off instead would reach into every other call of the thread.
    if constexpr (sizeof(void*) == 4) {
        BOOL wow64 = FALSE;
        // Beside the system folder: the Windows folder this program is shown
        // may be a per-user one on a terminal server.
        if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64 && !folders.system.empty())
            (folders.native = FolderOf(folders.system)) += "Sysnative";
    }
    return folders;
}

std::string NativeSaverFile(const std::string& saverPath) {
    std::string alias = NativeAlias(saverPath, ThisSaverFolders());
    if (!alias.empty() && !IsExistingFile(alias)) alias.clear();
    return alias;
}

bool CreateSaverProcess(const std::string& saverPath, std::string_view arguments, WORD show,
                        PROCESS_INFORMATION& started) {
    // CreateProcess may write into the command line: a copy of our own.
    std::wstring commandLine = Wide(SaverCommandLine(saverPath, arguments));
    const std::wstring image = Wide(NativeSaverFile(saverPath));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = show;
    return ::CreateProcessW(image.empty() ? nullptr : image.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &si, &started) != FALSE;
}

UniqueProcessInformation StartSaver(const std::string& saverPath, std::string_view arguments) {
    // The saver's folder becomes the current folder; a DLL planted there must
    // not be loaded into this program by a later LoadLibrary.
    ::SetDllDirectoryW(L"");
    const std::string folder = FolderOf(saverPath);
    if (!folder.empty()) ::SetCurrentDirectoryW(Wide(folder).c_str());  // failure ignored: the start is still tried

    PROCESS_INFORMATION pi{};
    if (!CreateSaverProcess(saverPath, arguments, SW_SHOWMINIMIZED, pi)) return {};
    return UniqueProcessInformation(pi);
}

std::optional<std::vector<ProcessEntry>> SnapshotAllProcesses() {
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::nullopt;
    std::vector<ProcessEntry> entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    return entries;
}

std::uint32_t WindowOwnerProcess(HWND window) {
    if (!window) return 0;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    // Our own icon carrier, placed by hand over the corner inside the saver's
    // window, must not pass for a foreign window: the saver's window counts.
    if (pid == ::GetCurrentProcessId()) ::GetWindowThreadProcessId(::GetAncestor(window, GA_ROOT), &pid);
    return pid;
}

std::optional<std::uint64_t> ProcessCreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !::GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

std::optional<std::uint64_t> ProcessIdCreationTime(std::uint32_t pid) {
    UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    return ProcessCreationTime(process.get());
}

bool IsProcessIdAlive(std::uint32_t pid) {
    if (pid == 0) return false;
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
    return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

std::uint32_t Win32Host::Start(const std::string& saverPath, std::string_view arguments) {
    saver_ = StartSaver(saverPath, arguments);
    saverCreatedAt_ = ProcessCreationTime(saver_.process.get());
    return saver_.processId;
}

UniqueKernelHandle Win32Host::TakeEndedSaver() {
    saver_.thread.reset();
    return UniqueKernelHandle(saver_.process.release());
}

bool Win32Host::StartedAfterSaver(std::uint32_t pid) {
    const std::optional<std::uint64_t> created = ProcessIdCreationTime(pid);
    // What cannot be asked is taken as the listing finds it.
    return !saverCreatedAt_ || !created || *created >= *saverCreatedAt_;
}

// Asked twice a second. A window never changes its process, and a handle
// names one window until Windows has used its slot some 65,000 times more:
// the same window at the point needs no second question.
std::uint32_t Win32Host::ProbePointOwner() {
    HWND window = ::WindowFromPoint(POINT{1, 1});
    if (window != probeWindow_ || !window) {
        probeWindow_ = window;
        probeOwner_ = WindowOwnerProcess(window);
    }
    return probeOwner_;
}

bool Win32Host::IsProcessAlive(std::uint32_t pid) {
    if (pid == saver_.processId && saver_.process)
        return ::WaitForSingleObject(saver_.process.get(), 0) == WAIT_TIMEOUT;
    return IsProcessIdAlive(pid);
}

}  // namespace vl

namespace vl {
namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> FileIdentity(const std::string& path) {
    const UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return info;
}

std::wstring VersionString(const std::vector<char>& data, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;  // in characters
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!::VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value || length == 0)
        return {};
    return std::wstring(value, wcsnlen(value, length));
}

}  // namespace

bool IsThisProgram(const std::string& path) {
    if (path.empty()) return false;
    // The chooser asks once per saver file: this program's own identity is taken once.
    static const std::optional<BY_HANDLE_FILE_INFORMATION> self = FileIdentity(ModuleFileName());
    const std::string native = NativeSaverFile(path);
    const std::string& image = native.empty() ? path : native;
    const auto a = FileIdentity(image);
    const auto& b = self;
    if (a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber && a->nFileIndexHigh == b->nFileIndexHigh &&
        a->nFileIndexLow == b->nFileIndexLow)
        return true;
    DWORD ignored = 0;
    const std::wstring file = Wide(image);
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return false;
    return VersionString(data, L"InternalName") == L"Vigilumen" && VersionString(data, L"CompanyName") == L"Corvane";
}

}  // namespace vl
