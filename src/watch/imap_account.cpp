#include "watch/imap_account.h"

#include <array>

#include "core/text.h"
#include "core/utf.h"
#include "watch/imap_reader.h"

namespace vl {
namespace {

struct Scheme {
    std::string_view prefix;
    ImapSecurity security;
};
constexpr std::array<Scheme, 3> kSchemes{{
    {"imaps://", ImapSecurity::kTls},
    {"imap://", ImapSecurity::kStartTls},
    {"imap+plain://", ImapSecurity::kPlain},
}};

bool IsUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// `keep` are the characters that stay as they are beside the unreserved ones.
std::string PercentEncoded(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        if (IsUnreserved(c) || keep.find(c) != std::string_view::npos) {
            out.push_back(c);
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

// "host", "host:port", "[v6]" or "[v6]:port"; the port is the usual one when absent.
bool SplitHostPort(std::string_view text, ImapAccount& account) {
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            port = rest.substr(1);
            if (port.empty()) return false;
        }
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) return false;
    }
    if (host.empty() || host.find_first_of(" @/;%?#[]") != std::string_view::npos) return false;
    if (text.front() != '[' && host.find(':') != std::string_view::npos) return false;
    account.host = Lowered(std::string(host));
    account.port = UsualImapPort(account.security);
    if (!port.empty()) {
        const std::optional<std::uint32_t> number = ImapNumber(port);
        if (!number || *number == 0 || *number > 65535) return false;
        account.port = static_cast<std::uint16_t>(*number);
    }
    return true;
}

std::string HostPort(const ImapAccount& account) {
    std::string out;
    if (account.host.find(':') != std::string::npos) {
        out.push_back('[');
        out += account.host;
        out.push_back(']');
    } else {
        out = account.host;
    }
    if (account.port != UsualImapPort(account.security)) {
        out.push_back(':');
        out += std::to_string(account.port);
    }
    return out;
}

std::optional<std::array<int, 4>> Ipv4(std::string_view host) {
    std::array<int, 4> parts{};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = i < 3 ? host.find('.', at) : host.size();
        if (end == std::string_view::npos || end == at || end - at > 3) return std::nullopt;
        const std::optional<std::uint32_t> n = ImapNumber(host.substr(at, end - at));
        if (!n || *n > 255) return std::nullopt;
        parts[i] = static_cast<int>(*n);
        at = end + 1;
    }
    return parts;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::uint16_t UsualImapPort(ImapSecurity security) { return security == ImapSecurity::kTls ? 993 : 143; }

std::string ImapUrl(const ImapAccount& account) {
    std::string_view scheme;
    for (const Scheme& s : kSchemes)
        if (s.security == account.security) scheme = s.prefix;
    return std::string(scheme) + PercentEncoded(account.user, "!$&'()*+,=") + "@" + HostPort(account) + "/" +
           PercentEncoded(account.folder, "!$&'()*+,=/:@");
}

std::optional<ImapAccount> ParseImapUrl(std::string_view url) {
    ImapAccount account;
    std::string_view rest;
    bool known = false;
    for (const Scheme& s : kSchemes) {
        if (url.size() >= s.prefix.size() && EqualsIgnoreCase(url.substr(0, s.prefix.size()), s.prefix)) {
            account.security = s.security;
            rest = url.substr(s.prefix.size());
            known = true;
            break;
        }
    }
    if (!known) return std::nullopt;
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    std::optional<std::string> user = PercentDecoded(authority.substr(0, at));
    if (!user || !SplitHostPort(authority.substr(at + 1), account)) return std::nullopt;
    account.user = std::move(*user);
    if (slash != std::string_view::npos && slash + 1 < rest.size()) {
        std::optional<std::string> folder = PercentDecoded(rest.substr(slash + 1));
        if (!folder) return std::nullopt;
        account.folder = std::move(*folder);
    }
    return account;
}

std::optional<ImapAccount> ParseAccountLine(std::string_view line, ImapSecurity security) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    const std::size_t slash = line.find('/');
    const std::size_t at = line.substr(0, slash).rfind('@');
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    ImapAccount account;
    account.security = security;
    account.user = std::string(line.substr(0, at));
    const std::string_view hostPort = line.substr(at + 1, slash == std::string_view::npos ? slash : slash - at - 1);
    if (!SplitHostPort(hostPort, account)) return std::nullopt;
    if (slash != std::string_view::npos && slash + 1 < line.size()) account.folder = std::string(line.substr(slash + 1));
    if (account.user.find_first_of("\r\n") != std::string::npos ||
        account.folder.find_first_of("\r\n") != std::string::npos)
        return std::nullopt;
    return account;
}

std::string AccountLine(const ImapAccount& account) {
    std::string line = account.user + "@" + HostPort(account);
    if (account.folder != "INBOX") line += "/" + account.folder;
    return line;
}

bool IsLocalNetworkHost(std::string_view host) {
    const std::string name = Lowered(std::string(host));
    if (const auto v4 = Ipv4(name)) {
        const auto& p = *v4;
        return p[0] == 127 || p[0] == 10 || (p[0] == 172 && p[1] >= 16 && p[1] <= 31) || (p[0] == 192 && p[1] == 168) ||
               (p[0] == 169 && p[1] == 254);
    }
    if (name.find(':') != std::string::npos) {  // IPv6: loopback, link-local fe80::/10, unique-local fc00::/7
        if (name == "::1") return true;
        for (const std::string_view start : {"fe8", "fe9", "fea", "feb", "fc", "fd"})
            if (name.starts_with(start)) return true;
        return false;
    }
    if (name.find('.') == std::string::npos) return !name.empty();  // "localhost", a name of one label
    for (const std::string_view end : {".localhost", ".local", ".lan", ".home.arpa"})
        if (EndsWith(name, end)) return true;
    return false;
}

std::string CredentialTarget(const ImapAccount& account) {
    return "Vigilumen/imap/" + account.user + "@" + account.host;
}

std::optional<std::string> ImapFolderName(std::string_view utf8) {
    const std::u16string wide = Utf16FromUtf8(utf8);
    if (Utf8FromUtf16(wide) != utf8) return std::nullopt;
    static constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    std::string out;
    std::size_t i = 0;
    while (i < wide.size()) {
        const char16_t c = wide[i];
        if (c >= 0x20 && c <= 0x7e) {
            out += c == u'&' ? "&-" : std::string(1, static_cast<char>(c));
            ++i;
            continue;
        }
        // A run of other characters: their UTF-16 bytes in base64, "," for "/", no padding.
        out.push_back('&');
        std::uint32_t bits = 0;
        int held = 0;
        for (; i < wide.size() && (wide[i] < 0x20 || wide[i] > 0x7e); ++i) {
            bits = (bits << 16) | wide[i];
            held += 16;
            while (held >= 6) {
                held -= 6;
                out.push_back(kBase64[(bits >> held) & 63]);
            }
        }
        if (held > 0) out.push_back(kBase64[(bits << (6 - held)) & 63]);
        out.push_back('-');
    }
    return out;
}

}  // namespace vl
