// An IMAP account as a record keeps it: one URL in the record's text field,
// such as "imaps://jo%40example.com@imap.example.com/INBOX". The user types
// it as an account line ("jo@example.com@imap.example.com:1993/Lists") and
// picks the security apart; both forms meet here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

enum class ImapSecurity {
    kTls,       // TLS from the start, port 993: "imaps://"
    kStartTls,  // STARTTLS on port 143: "imap://"
    kPlain,     // no encryption, for a server on this machine or the local network: "imap+plain://"
};

struct ImapAccount {
    std::string user;  // as the server knows it; may hold "@"
    std::string host;  // a name, an IPv4 address or an IPv6 one without brackets
    std::uint16_t port = 993;
    std::string folder = "INBOX";
    ImapSecurity security = ImapSecurity::kTls;

    bool operator==(const ImapAccount&) const = default;
};

std::uint16_t UsualImapPort(ImapSecurity security);

// The record's text. The user name and the folder are percent-encoded where
// they hold what a URL or a record cannot carry (";" never appears), the
// port only where it is not the usual one.
std::string ImapUrl(const ImapAccount& account);
// Nothing for text that is no IMAP URL of ours: another scheme, no user, no
// host, a port that is no port, a bad escape.
std::optional<ImapAccount> ParseImapUrl(std::string_view url);

// "user@host[:port][/folder]" with the security chosen apart; the user's
// "@" are kept (the host follows the last "@" before the folder).
std::optional<ImapAccount> ParseAccountLine(std::string_view line, ImapSecurity security);
std::string AccountLine(const ImapAccount& account);

// Whether the host is this machine or on the local network: an address of
// the loopback, private, link-local or unique-local ranges, "localhost", a
// name of one label, or one under ".local", ".lan" or ".home.arpa". Only
// such a server may be reached without encryption.
bool IsLocalNetworkHost(std::string_view host);
inline constexpr char kPlainOnlyLocal[] = "no encryption: only for a server on this machine or the local network";

// The Credential Manager's target name of the account's password: it names
// the program and the account, not the folder, port or security.
std::string CredentialTarget(const ImapAccount& account);

// A folder name as IMAP sends it: modified UTF-7 for what is not ASCII,
// "&" as "&-" (RFC 3501, 5.1.3). The text is UTF-8; nothing when it is not.
std::optional<std::string> ImapFolderName(std::string_view utf8);

}  // namespace vl
