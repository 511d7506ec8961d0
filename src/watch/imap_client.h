// The few IMAP commands a new-mail watcher needs (RFC 3501, IDLE of RFC
// 2177), over a link that carries the bytes. Each command waits for its
// answer no longer than the budget set before it; what the server says is
// read by ImapReader, bounded. The password goes into one LOGIN and is
// wiped from every buffer that held it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "watch/imap_link.h"
#include "watch/imap_reader.h"

namespace vl {

enum class ImapProblem {
    kNone,
    kLink,            // the link failed: see ImapError::link
    kRefused,         // the server turned the connection away (BYE at the greeting)
    kNoStartTls,      // STARTTLS was asked for and is not offered
    kLoginDisabled,   // the server takes no password over this connection
    kLoginRefused,    // wrong user name or password
    kFolderMissing,   // the folder cannot be opened
    kProtocol,        // an answer the client cannot use
    kClosed,          // the server said BYE
};

struct ImapError {
    ImapProblem problem = ImapProblem::kNone;
    LinkError link;
    std::string text;  // the server's own words, or what was wrong with its answer
    bool refused = false;  // the command was answered NO or BAD
    explicit operator bool() const { return problem != ImapProblem::kNone; }
};

// One line for the log and the Test answer: "login refused: Authentication
// failed.", "timed out", "certificate not trusted: CN=...".
std::string ImapErrorText(const ImapError& error);

struct FolderCounts {
    std::uint32_t unseen = 0;
    std::uint32_t recent = 0;  // new since the last session that opened the folder
    std::uint32_t uidNext = 0;
    std::uint32_t uidValidity = 0;
};

struct FolderOpened {
    std::uint32_t uidNext = 0;  // 0 when the server did not say
    std::uint32_t uidValidity = 0;
};

class ImapClient {
public:
    using Clock = std::uint64_t (*)();  // milliseconds, never going back

    ImapClient(ImapLink& link, Clock now) : link_(link), now_(now) {}

    // The time every later command may take, from now on.
    void SetBudget(unsigned ms) { deadline_ = now_() + ms; }

    ImapError Greet();  // the greeting, and the capabilities
    ImapError StartTls();
    ImapError Login(std::string_view user, std::string& password);  // wipes the password
    ImapError Status(std::string_view folder, FolderCounts& counts);
    ImapError Examine(std::string_view folder, FolderOpened& opened);  // read only: no flag changes
    // The UIDs of the unseen messages of the opened folder from `uid` on.
    ImapError UnseenFrom(std::uint32_t uid, std::vector<std::uint32_t>& uids);
    // Waits up to waitMs for the opened folder to change (new, removed or
    // changed messages); `changed` tells whether it did. IDLE where the
    // server offers it, otherwise one NOOP.
    ImapError WaitForChange(unsigned waitMs, bool& changed);
    ImapError Logout();

    bool Offers(std::string_view capability) const;
    bool LoggedIn() const { return loggedIn_; }

private:
    // Sends a command under a new tag and reads up to its tagged answer;
    // untagged responses on the way are looked at by `seen`. `more` are the
    // pieces a "+" of the server asks for, in turn (a login's literals).
    using Seen = void (*)(void* context, const ImapResponse& response);
    ImapError Run(std::string_view command, Seen seen = nullptr, void* context = nullptr,
                  std::vector<std::string>* more = nullptr);
    // Run with a callable: one copy of Run for all of them, which the i686 file notices.
    template <typename F>
    ImapError RunSeeing(std::string_view command, F&& seen) {
        return Run(
            command, [](void* context, const ImapResponse& r) { (*static_cast<F*>(context))(r); },
            const_cast<void*>(static_cast<const void*>(&seen)));
    }
    ImapError Send(std::string& bytes, bool wipe);
    ImapError Next(ImapResponse& response);
    ImapError Untagged(const ImapResponse& response);  // what every command does with one
    ImapError Quoted(std::string_view text, std::string& into);
    // "VERB folder" with the folder as IMAP sends it.
    ImapError FolderCommand(std::string_view verb, std::string_view folder, std::string& command);
    std::string NextTag();

    ImapLink& link_;
    Clock now_;
    std::uint64_t deadline_ = 0;
    ImapReader reader_;
    std::vector<std::string> capabilities_;
    bool loggedIn_ = false;
    bool changed_ = false;  // an untagged response told of a change
    unsigned tag_ = 0;
};

// Wipes a string's bytes in a way the compiler keeps.
void WipeText(std::string& text);

// Waiting for a lost connection to come back: 5 s after the first failure,
// doubling each time, never more than 5 minutes.
unsigned ReconnectPauseMs(unsigned failures);

}  // namespace vl
