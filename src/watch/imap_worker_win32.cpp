#include "watch/imap_worker_win32.h"

#include "platform/credentials_win32.h"
#include "watch/imap_link_win32.h"

namespace vl {
namespace {

std::uint64_t TickMs() { return ::GetTickCount64(); }

struct ThreadStart {
    ImapAccount account;
    UniqueKernelHandle stop;  // the thread's own handle to the owner's event
    HWND window;
};

DWORD WINAPI WatchThread(void* param) {
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(param));
    Win32ImapPorts ports(start->stop.get(), start->window);
    WatchImapAccount(start->account, ports);
    return 0;
}

}  // namespace

std::unique_ptr<ImapNews> TakeImapNews(LPARAM lParam) { return std::unique_ptr<ImapNews>(reinterpret_cast<ImapNews*>(lParam)); }

std::unique_ptr<ImapLink> Win32ImapPorts::Open(const ImapAccount& account, unsigned waitMs, LinkError& error) {
    // Without encryption only where the traffic stays on this machine or the local network.
    if (account.security == ImapSecurity::kPlain && !IsLocalNetworkHost(account.host)) {
        error = {LinkFailure::kOther, kPlainOnlyLocal};
        return nullptr;
    }
    return OpenImapLink({account.host, account.port, account.security == ImapSecurity::kTls}, stop_, waitMs, error);
}

std::optional<std::string> Win32ImapPorts::Password(const ImapAccount& account) {
    return ReadStoredPassword(CredentialTarget(account));
}

bool Win32ImapPorts::Pause(unsigned ms) { return ::WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT; }

void Win32ImapPorts::Tell(const ImapNews& news) {
    if (!window_) return;
    auto* posted = new ImapNews(news);
    if (!::PostMessageW(window_, kImapNewsMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

ImapClient::Clock Win32ImapPorts::Clock() { return TickMs; }

ImapWorkers::~ImapWorkers() {
    if (!stop_) return;
    ::SetEvent(stop_.get());
    const ULONGLONG deadline = ::GetTickCount64() + 2000;
    for (const Account& a : accounts_) {
        const ULONGLONG now = ::GetTickCount64();
        if (a.thread) ::WaitForSingleObject(a.thread.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    }
}

// No thread is no watcher: the account then tells nothing, as one that is never reached.
void ImapWorkers::Start(Account& account, const ImapAccount& watched) {
    if (!stop_) stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE own = nullptr;
    if (!stop_ || !::DuplicateHandle(::GetCurrentProcess(), stop_.get(), ::GetCurrentProcess(), &own, SYNCHRONIZE,
                                     FALSE, 0))
        return;
    auto* start = new ThreadStart{watched, UniqueKernelHandle(own), window_};
    account.thread.reset(::CreateThread(nullptr, 0, WatchThread, start, 0, nullptr));
    if (!account.thread) delete start;
}

std::optional<std::uint32_t> ImapWorkers::NewMail(const std::string& url) {
    // Asked every tick: the record's own text is compared first, and only a
    // text not seen yet is read as a URL.
    for (const Account& a : accounts_)
        if (a.text == url) return a.newMail;
    // One watcher for every spelling of the same account; news names it as ImapUrl writes it.
    const std::optional<ImapAccount> parsed = ParseImapUrl(url);
    const std::string key = parsed ? ImapUrl(*parsed) : url;
    for (const Account& a : accounts_)
        if (a.url == key) return a.newMail;
    Account& added = accounts_.emplace_back();
    added.url = key;
    added.text = url;
    if (parsed) Start(added, *parsed);
    return std::nullopt;
}

std::string ImapWorkers::Keep(const ImapNews& news) {
    for (Account& a : accounts_) {
        if (a.url != news.url) continue;
        if (news.connected) a.newMail = news.newMail;
        const bool changed = a.connected != news.connected || a.problem != news.problem;
        a.connected = news.connected;
        a.problem = news.problem;
        if (!changed) return {};
        const std::optional<ImapAccount> account = ParseImapUrl(a.url);
        std::string line = "IMAP " + (account ? AccountLine(*account) : a.url) + ": ";
        line += news.connected ? "watching" : news.problem;
        if (news.gaveUp) line += " (not tried again in this run)";
        return line;
    }
    return {};
}

}  // namespace vl
