// The IMAP accounts of a run, each watched for the whole run by a thread of
// its own. A thread never shares state with the UI thread: it posts what it
// learns to the form as a message, and the UI thread keeps it.
#pragma once

#include "platform/win32_api.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_handles.h"
#include "watch/imap_watch.h"

namespace vl {

// Posted to the form; lParam is an ImapNews the receiver owns (TakeImapNews).
inline constexpr UINT kImapNewsMessage = WM_APP + 20;

// The news of a kImapNewsMessage, taken once.
std::unique_ptr<ImapNews> TakeImapNews(LPARAM lParam);

// The ports of a watcher or a Test on a worker thread: the Schannel link,
// the credential store, a stop event, and a window to post news to (none
// for a Test).
class Win32ImapPorts final : public ImapWatchPorts {
public:
    Win32ImapPorts(HANDLE stop, HWND window) : stop_(stop), window_(window) {}
    std::unique_ptr<ImapLink> Open(const ImapAccount& account, unsigned waitMs, LinkError& error) override;
    std::optional<std::string> Password(const ImapAccount& account) override;
    bool Pause(unsigned ms) override;
    void Tell(const ImapNews& news) override;
    ImapClient::Clock Clock() override;

private:
    HANDLE stop_;
    HWND window_;
};

class ImapWorkers {
public:
    ImapWorkers() = default;
    // Asks every thread to stop and gives them a moment: a link's waits end
    // at once, a name lookup cannot be cut short and is left to the process's end.
    ~ImapWorkers();
    ImapWorkers(const ImapWorkers&) = delete;
    ImapWorkers& operator=(const ImapWorkers&) = delete;

    void SetWindow(HWND window) { window_ = window; }
    // What the account's watcher last told; the first ask starts it.
    std::optional<std::uint32_t> NewMail(const std::string& url);
    // Keeps a posted news; returns the line to log when the account's state
    // changed (connected, lost, gave up), "" otherwise.
    std::string Keep(const ImapNews& news);

private:
    struct Account {
        std::string url;   // as ImapUrl writes it
        std::string text;  // as the record that started it spells it
        std::optional<std::uint32_t> newMail;
        bool connected = false;
        std::string problem;
        UniqueKernelHandle thread;
    };
    void Start(Account& account, const ImapAccount& watched);

    HWND window_ = nullptr;
    UniqueKernelHandle stop_;  // manual reset: once set, every thread sees it
    std::vector<Account> accounts_;
};

}  // namespace vl
