// The processes and folders the "Wait for program to end" and "Watch folder
// for new files" records look at.
#include <iterator>

#include "platform/win32_handles.h"
#include "platform/win32_system_dll.h"
#include "platform/win32_util.h"
#include "watch/watch_win32.h"

namespace vl {
namespace {

// The token functions live in advapi32, which nothing else of a run needs.
struct TokenCalls {
    decltype(&::OpenProcessToken) open = SystemFunction<decltype(open)>(L"advapi32.dll", "OpenProcessToken");
    decltype(&::GetTokenInformation) info = SystemFunction<decltype(info)>(L"advapi32.dll", "GetTokenInformation");
    decltype(&::EqualSid) equal = SystemFunction<decltype(equal)>(L"advapi32.dll", "EqualSid");
};

const TokenCalls& Tokens() {
    static const TokenCalls calls;
    return calls;
}

// The user SID of a process's token, as bytes; empty when it cannot be read.
std::vector<BYTE> UserOf(HANDLE process) {
    const TokenCalls& t = Tokens();
    HANDLE raw = nullptr;
    if (!t.open || !t.info || !t.open(process, TOKEN_QUERY, &raw)) return {};
    const UniqueKernelHandle token(raw);
    // A TOKEN_USER and the largest SID there is.
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD got = 0;
    if (!t.info(token.get(), TokenUser, buffer, sizeof buffer, &got)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    const BYTE* first = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(first, first + ::GetLengthSid(sid));
}

}  // namespace

std::vector<RunningProcess> Win32Desktop::Processes() {
    std::vector<RunningProcess> list;
    const UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        list.push_back({entry.th32ProcessID, NarrowUpToNul(entry.szExeFile, std::size(entry.szExeFile))});
    return list;
}

// A process that cannot be opened is not ours; one that can (the limited
// query right opens many processes of other users) is ours only when its
// token's user is this process's user.
std::optional<std::string> Win32Desktop::OwnProcessPath(std::uint32_t id) {
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return std::nullopt;
    if (user_.empty()) user_ = UserOf(::GetCurrentProcess());
    std::vector<BYTE> user = UserOf(process.get());
    if (user_.empty() || user.empty() || !Tokens().equal || !Tokens().equal(user.data(), user_.data()))
        return std::nullopt;
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(path));
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return std::string();
    return Narrow(std::wstring_view(path, size));
}

bool Win32Desktop::Watch(std::uint32_t id) {
    for (const auto& [watched, process] : processes_)
        if (watched == id) return true;
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return false;
    processes_.emplace_back(id, std::move(process));
    return true;
}

// While the handle is held, the process's id is not given to another one.
bool Win32Desktop::HasEnded(std::uint32_t id) {
    for (auto it = processes_.begin(); it != processes_.end(); ++it) {
        if (it->first != id) continue;
        if (::WaitForSingleObject(it->second.get(), 0) == WAIT_TIMEOUT) return false;
        processes_.erase(it);
        return true;
    }
    return true;
}

// Only names are watched (files made, removed, renamed): a file that grows
// is listed anyway until it is complete.
bool Win32Desktop::FolderChanged(const std::string& folder) {
    for (auto it = folders_.begin(); it != folders_.end(); ++it) {
        if (it->first != folder) continue;
        const DWORD woke = ::WaitForSingleObject(it->second.get(), 0);
        if (woke == WAIT_TIMEOUT) return false;
        // Armed again before the caller lists: what changes meanwhile is told next time.
        if (woke != WAIT_OBJECT_0 || !::FindNextChangeNotification(it->second.get())) folders_.erase(it);
        return true;
    }
    UniqueChangeNotification change(
        ::FindFirstChangeNotificationW(Wide(folder).c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    if (change) folders_.emplace_back(folder, std::move(change));
    return true;
}

std::optional<std::vector<FolderEntry>> Win32Desktop::FolderFiles(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    // Every name, matched by the caller: the system's own matching also
    // matches the short names ("*.pdf" finds "report.pdfx").
    const UniqueFind find(::FindFirstFileExW(Wide(folder + "\\*").c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    std::vector<FolderEntry> files;
    if (!find) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return files;  // an empty drive has not even "."
        return std::nullopt;
    }
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        files.push_back({NarrowUpToNul(found.cFileName, std::size(found.cFileName)),
                         (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow});
    } while (::FindNextFileW(find.get(), &found));
    return files;
}

// Opened for reading while denying writers: a program that holds the file
// open for writing makes that a sharing violation. Closed at once.
bool Win32Desktop::BeingWritten(const std::string& path) {
    const HANDLE opened = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = ::GetLastError();
    const UniqueFileHandle file(opened);
    return !file && error == ERROR_SHARING_VIOLATION;
}

void Win32Desktop::Log(std::string_view line) {
    AppendDiagnosticLog(std::string(line) + "\r\n");  // a log that cannot be written changes nothing
}

}  // namespace vl
