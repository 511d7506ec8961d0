// Watching one IMAP account for the whole of a run, and the editor's Test:
// what to do in which order, what counts as new mail and when to try again.
// The connection, the password store, the clock and the way back to the UI
// thread are ports, so the same steps run on a worker thread of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "watch/imap_account.h"
#include "watch/imap_client.h"
#include "watch/imap_link.h"

namespace vl {

// What a watcher tells the UI thread.
struct ImapNews {
    std::string url;           // the account, as its records name it
    bool connected = false;    // the folder is open and watched
    std::uint32_t newMail = 0; // unseen messages that arrived after the run started
    std::string problem;       // why it is not connected; for the log
    bool gaveUp = false;       // it will not try again (no password, login refused)
};

class ImapWatchPorts {
public:
    virtual ~ImapWatchPorts() = default;
    // A link to the account's server within waitMs; nullptr with `error` set.
    virtual std::unique_ptr<ImapLink> Open(const ImapAccount& account, unsigned waitMs, LinkError& error) = 0;
    // The stored password; nothing when none is stored.
    virtual std::optional<std::string> Password(const ImapAccount& account) = 0;
    // Waits, unless the owner asks to stop: false then.
    virtual bool Pause(unsigned ms) = 0;
    virtual void Tell(const ImapNews& news) = 0;
    virtual ImapClient::Clock Clock() = 0;
};

inline constexpr unsigned kImapCommandMs = 30000;
inline constexpr unsigned kImapIdleMs = 9 * 60 * 1000;  // IDLE is renewed well within the server's 30 minutes
inline constexpr unsigned kImapPollMs = 60000;          // a server without IDLE is asked no more often

// Watches until the owner stops it (or it gives up): connects, logs in,
// opens the folder read-only, then reports the unseen messages whose UID is
// at least the folder's UIDNEXT at the first connection of the run, each
// time the folder changes. A lost connection comes back after
// ReconnectPauseMs; a new UIDVALIDITY starts the count afresh.
void WatchImapAccount(const ImapAccount& account, ImapWatchPorts& ports);

// The editor's Test, within budgetMs: "3 unread, 1 new since the last
// login", or "failed: " and the reason.
std::string TestImapAccount(const ImapAccount& account, std::string password, ImapWatchPorts& ports,
                            unsigned budgetMs);

// Connects and logs in: the link, greeting, STARTTLS where the account asks
// for it, LOGIN. The password is wiped.
ImapError OpenImapSession(const ImapAccount& account, std::string& password, ImapWatchPorts& ports, unsigned waitMs,
                          std::unique_ptr<ImapLink>& link, std::unique_ptr<ImapClient>& client);

}  // namespace vl
