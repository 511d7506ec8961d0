// The IMAP link on Windows: Winsock for the connection, Schannel for TLS and
// the system's chain engine for the server's certificate. Used on worker
// threads only; nothing here touches a window.
#pragma once

#include "platform/win32_api.h"

#include <cstdint>
#include <memory>
#include <string>

#include "watch/imap_link.h"

namespace vl {

struct LinkTarget {
    std::string host;  // a name or an address; the certificate must be for it
    std::uint16_t port = 993;
    bool tls = true;   // TLS from the start; otherwise plain until StartTls
};

// Connects within waitMs (name lookup, connection and TLS handshake
// together). `stop` is an event of the owner: once set, every wait of the
// link ends at once with kStopped. nullptr with `error` set when it fails.
// A Send later on waits no longer than waitMs either.
std::unique_ptr<ImapLink> OpenImapLink(const LinkTarget& target, HANDLE stop, unsigned waitMs, LinkError& error);

}  // namespace vl
