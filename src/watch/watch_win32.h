// The desktop, the file system and Simple MAPI as the poll cycle sees them.
#pragma once

#include "platform/win32_api.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32_handles.h"
#include "platform/win32_util.h"
#include "watch/imap_worker_win32.h"
#include "watch/mail_check.h"
#include "watch/mail_worker_win32.h"
#include "watch/poll_cycle.h"

namespace vl {

std::vector<std::string> AllTopLevelCaptions();

// A file's last modification, local time, in the general date form.
std::optional<std::string> FileModifiedGeneralDate(const std::string& path);

// A date written by the user's locale, read back and written in the general
// date form; text that is no date comes back unchanged.
std::string NormalizeGeneralDate(const std::string& text);

// MAPI32.DLL, loaded from the Windows system folder only: the current folder
// is the saver's, and a library planted there must never be loaded.
class Win32Mapi final : public MapiPort {
public:
    bool Available() override;
    std::uintptr_t Logon() override;
    std::string FindNextUnread(std::uintptr_t session) override;
    void Logoff(std::uintptr_t session) override;

private:
    using LogonFn = ULONG(WINAPI*)(ULONG_PTR, LPSTR, LPSTR, ULONG, ULONG, ULONG_PTR*);
    using FindNextFn = ULONG(WINAPI*)(ULONG_PTR, ULONG_PTR, LPSTR, LPSTR, ULONG, ULONG, LPSTR);
    using LogoffFn = ULONG(WINAPI*)(ULONG_PTR, ULONG_PTR, ULONG, ULONG);

    UniqueModule library_;
    LogonFn logon_ = nullptr;
    FindNextFn findNext_ = nullptr;
    LogoffFn logoff_ = nullptr;
};

// What the poll cycle looks at, on Windows.
class Win32Desktop final : public Desktop {
public:
    std::vector<std::string> TopLevelCaptions() override { return AllTopLevelCaptions(); }
    // Where the workers post what they learn: the form.
    void SetNewsWindow(HWND window) {
        mail_.SetWindow(window);
        imap_.SetWindow(window);
    }
    void KeepMailAnswer(WPARAM answer) { mail_.Keep(answer); }
    // The line to log when the account's state changed, "" otherwise.
    std::string KeepImapNews(const ImapNews& news) { return imap_.Keep(news); }
    std::optional<std::uint32_t> ImapNewMail(const std::string& url) override { return imap_.NewMail(url); }
    void RequestMailCheck() override { mail_.Request(); }
    std::optional<std::string> LastMailAnswer() override { return mail_.LastAnswer(); }
    bool FileExists(const std::string& path) override { return IsExistingFile(path); }
    std::optional<std::string> FileDate(const std::string& path) override { return FileModifiedGeneralDate(path); }
    std::string NormalizeDate(const std::string& stored) override;

    // JobSources (job_sources_win32.cpp)
    std::vector<RunningProcess> Processes() override;
    std::optional<std::string> OwnProcessPath(std::uint32_t id) override;
    bool Watch(std::uint32_t id) override;
    bool HasEnded(std::uint32_t id) override;
    bool FolderChanged(const std::string& folder) override;
    std::optional<std::vector<FolderEntry>> FolderFiles(const std::string& folder) override;
    bool BeingWritten(const std::string& path) override;
    void Log(std::string_view line) override;

private:
    MailWorker mail_;
    ImapWorkers imap_;
    std::vector<BYTE> user_;  // this process's user SID, read on first use
    // Waited on instead of listing again: the processes of the programs
    // watched, and a change notification for each folder.
    std::vector<std::pair<std::uint32_t, UniqueKernelHandle>> processes_;
    std::vector<std::pair<std::string, UniqueChangeNotification>> folders_;
    // A stored date is read every cycle and changes only with an event:
    // its reading through the locale is kept, for the few last ones.
    std::map<std::string, std::string> normalized_;
};

}  // namespace vl
