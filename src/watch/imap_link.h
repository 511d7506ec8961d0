// The byte stream to an IMAP server as the mail watcher uses it: the
// watcher speaks the protocol, the link carries it (a socket, with TLS from
// the start or after STARTTLS). Every wait is bounded and every failure says
// what went wrong, in words a user can act on.
#pragma once

#include <string>
#include <string_view>

namespace vl {

enum class LinkFailure {
    kNone,
    kNameNotFound,  // the host name does not resolve
    kRefused,       // nothing listens on the port
    kUnreachable,   // no route, network down
    kTimedOut,      // no answer within the time given
    kClosed,        // the server closed the connection
    kCertificate,   // the server's certificate does not pass; detail names its subject
    kTls,           // the TLS handshake or a TLS record failed
    kStopped,       // the owner asked the link to stop
    kOther,
};

struct LinkError {
    LinkFailure failure = LinkFailure::kNone;
    std::string detail;  // for the log and the Test answer; never a password
    explicit operator bool() const { return failure != LinkFailure::kNone; }
};

class ImapLink {
public:
    virtual ~ImapLink() = default;
    // Sends every byte, or fails.
    virtual LinkError Send(std::string_view bytes) = 0;
    // Appends what arrives to `into`: returns once some bytes came, or with
    // kTimedOut when none came within waitMs (then the link is still usable).
    virtual LinkError Receive(std::string& into, unsigned waitMs) = 0;
    // TLS over the open connection (after the server's go-ahead to STARTTLS),
    // the certificate checked against the host the link was opened for.
    virtual LinkError StartTls(unsigned waitMs) = 0;
};

// "name not found", "refused", "timed out"...: the failure in a few words.
std::string_view LinkFailureText(LinkFailure failure);

}  // namespace vl
