#include "watch/imap_client.h"

#include <algorithm>

#include "core/text.h"
#include "watch/imap_account.h"

namespace vl {
namespace {

ImapError Problem(ImapProblem problem, std::string text) {
    ImapError error;
    error.problem = problem;
    error.text = std::move(text);
    return error;
}

ImapError LinkProblem(LinkError link) {
    ImapError error;
    error.problem = ImapProblem::kLink;
    error.link = std::move(link);
    return error;
}

// The server's words of a status response, its code in front when it has one.
std::string Said(const ImapResponse& r) {
    std::string text = r.code.empty() ? r.text : "[" + r.code + (r.codeText.empty() ? "" : " " + r.codeText) + "] " + r.text;
    if (text.size() > 200) text.resize(200);
    // Only printable text reaches a log or a dialog.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return text;
}

bool IsChange(const ImapResponse& r) {
    return r.kind == ImapKind::kUntagged &&
           (r.name == "EXISTS" || r.name == "RECENT" || r.name == "EXPUNGE" || r.name == "FETCH");
}

}  // namespace

std::string ImapErrorText(const ImapError& error) {
    // By ImapProblem; the server's words follow a prefix that ends in ": ".
    static constexpr const char* kTexts[] = {
        "",
        "",
        "the server refused the connection: ",
        "the server offers no STARTTLS",
        "the server takes no password over this connection",
        "login refused: ",
        "folder missing: ",
        "the server's answer cannot be used: ",
        "the server closed the connection: ",
    };
    if (error.problem == ImapProblem::kLink) {
        std::string text(LinkFailureText(error.link.failure));
        if (!error.link.detail.empty()) text += ": " + error.link.detail;
        return text;
    }
    std::string text = kTexts[static_cast<int>(error.problem)];
    if (text.ends_with(": ")) text += error.text;
    return text;
}

void WipeText(std::string& text) {
    volatile char* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
    text.clear();
}

unsigned ReconnectPauseMs(unsigned failures) {
    unsigned pause = 5000;
    for (unsigned i = 1; i < failures && pause < 300000; ++i) pause *= 2;
    return std::min(pause, 300000u);
}

bool ImapClient::Offers(std::string_view capability) const {
    return std::any_of(capabilities_.begin(), capabilities_.end(),
                       [&](const std::string& c) { return EqualsIgnoreCase(c, capability); });
}

std::string ImapClient::NextTag() {
    std::string tag(1, 'v');
    tag += std::to_string(++tag_);
    return tag;
}

ImapError ImapClient::Send(std::string& bytes, bool wipe) {
    LinkError sent = link_.Send(bytes);
    if (wipe) WipeText(bytes);
    return sent ? LinkProblem(std::move(sent)) : ImapError{};
}

ImapError ImapClient::Next(ImapResponse& response) {
    std::string bytes;
    for (;;) {
        if (std::optional<ImapResponse> r = reader_.Next()) {
            response = std::move(*r);
            return {};
        }
        if (reader_.Failed()) return Problem(ImapProblem::kProtocol, "a response past the reader's limits");
        const std::uint64_t now = now_();
        if (now >= deadline_) return LinkProblem({LinkFailure::kTimedOut, {}});
        bytes.clear();
        if (LinkError got = link_.Receive(bytes, static_cast<unsigned>(std::min<std::uint64_t>(deadline_ - now, 60000))))
            if (got.failure != LinkFailure::kTimedOut) return LinkProblem(std::move(got));
        reader_.Feed(bytes);
    }
}

ImapError ImapClient::Untagged(const ImapResponse& r) {
    if (r.kind == ImapKind::kGarbage) return Problem(ImapProblem::kProtocol, r.error);
    if (r.status == ImapStatus::kBye) return Problem(ImapProblem::kClosed, Said(r));
    if (!r.capabilities.empty()) capabilities_ = r.capabilities;
    if (IsChange(r)) changed_ = true;
    return {};
}

ImapError ImapClient::Run(std::string_view command, Seen seen, void* context, std::vector<std::string>* more) {
    const std::string tag = NextTag();
    std::string line = tag + " " + std::string(command) + "\r\n";
    const bool secret = more != nullptr;  // only a login sends literals
    if (ImapError e = Send(line, secret)) return e;
    // A command with literals goes on after each "+" of the server.
    for (;;) {
        ImapResponse r;
        if (ImapError e = Next(r)) return e;
        if (r.kind == ImapKind::kContinuation) {
            if (!more || more->empty()) return Problem(ImapProblem::kProtocol, "an unasked continuation");
            std::string piece = std::move(more->front());
            more->erase(more->begin());
            if (ImapError e = Send(piece, true)) return e;
            continue;
        }
        if (r.kind == ImapKind::kTagged) {
            if (r.tag != tag) return Problem(ImapProblem::kProtocol, "an answer to another command");
            if (!r.capabilities.empty()) capabilities_ = r.capabilities;
            if (r.status == ImapStatus::kOk) return {};
            ImapError refused = Problem(ImapProblem::kProtocol, Said(r));  // the caller names NO and BAD
            refused.refused = true;
            return refused;
        }
        if (ImapError e = Untagged(r)) return e;
        if (seen) seen(context, r);
    }
}

ImapError ImapClient::Greet() {
    ImapResponse r;
    if (ImapError e = Next(r)) return e;
    if (r.kind != ImapKind::kUntagged || (r.status != ImapStatus::kOk && r.status != ImapStatus::kPreauth)) {
        if (r.status == ImapStatus::kBye) return Problem(ImapProblem::kRefused, Said(r));
        return Problem(ImapProblem::kProtocol, "no IMAP greeting");
    }
    loggedIn_ = r.status == ImapStatus::kPreauth;
    capabilities_ = r.capabilities;
    if (!capabilities_.empty()) return {};
    return Run("CAPABILITY");
}

ImapError ImapClient::StartTls() {
    if (!Offers("STARTTLS")) return Problem(ImapProblem::kNoStartTls, {});
    if (ImapError e = Run("STARTTLS")) return e;
    // Bytes sent behind the go-ahead would pass as if they came over TLS.
    if (reader_.Buffered() != 0) return Problem(ImapProblem::kProtocol, "data after the STARTTLS go-ahead");
    if (LinkError e = link_.StartTls(static_cast<unsigned>(deadline_ > now_() ? deadline_ - now_() : 0)))
        return LinkProblem(std::move(e));
    capabilities_.clear();  // what was said before TLS counts for nothing
    return Run("CAPABILITY");
}

ImapError ImapClient::Quoted(std::string_view text, std::string& into) {
    if (std::optional<std::string> quoted = ImapQuoted(text)) {
        into += *quoted;
        return {};
    }
    return Problem(ImapProblem::kProtocol, "text no quoted string can carry");
}

ImapError ImapClient::Login(std::string_view user, std::string& password) {
    if (loggedIn_ || Offers("LOGINDISABLED")) {
        WipeText(password);
        return loggedIn_ ? ImapError{} : Problem(ImapProblem::kLoginDisabled, {});
    }
    // Quoted where a quoted string can carry the text, a literal otherwise
    // (a name or password beyond ASCII): a literal's bytes, and what follows
    // them, go after the server's "+".
    std::vector<std::string> pieces{"LOGIN "};
    for (const std::string_view part : {user, std::string_view(password)}) {
        if (pieces.back().back() != ' ') pieces.back() += ' ';
        if (std::optional<std::string> quoted = ImapQuoted(part)) {
            pieces.back() += *quoted;
            WipeText(*quoted);
        } else {
            pieces.back().push_back('{');
            pieces.back() += std::to_string(part.size());
            pieces.back().push_back('}');
            pieces.emplace_back(part);
        }
    }
    WipeText(password);
    for (std::size_t i = 1; i < pieces.size(); ++i) pieces[i] += "\r\n";
    std::string first = std::move(pieces.front());
    pieces.erase(pieces.begin());
    ImapError e = Run(first, nullptr, nullptr, &pieces);
    WipeText(first);
    for (std::string& piece : pieces) WipeText(piece);
    if (e.refused) e.problem = ImapProblem::kLoginRefused;
    loggedIn_ = !e;
    return e;
}

ImapError ImapClient::FolderCommand(std::string_view verb, std::string_view folder, std::string& command) {
    const std::optional<std::string> name = ImapFolderName(folder);
    if (!name) return Problem(ImapProblem::kFolderMissing, "the name is no text");
    command = verb;
    command += ' ';
    return Quoted(*name, command);
}

ImapError ImapClient::Status(std::string_view folder, FolderCounts& counts) {
    std::string command;
    if (ImapError e = FolderCommand("STATUS", folder, command)) return e;
    command += " (UNSEEN RECENT UIDNEXT UIDVALIDITY)";
    ImapError e = RunSeeing(command, [&](const ImapResponse& r) {
        if (r.name != "STATUS") return;
        counts.unseen = ImapNumberOf(r, "UNSEEN").value_or(0);
        counts.recent = ImapNumberOf(r, "RECENT").value_or(0);
        counts.uidNext = ImapNumberOf(r, "UIDNEXT").value_or(0);
        counts.uidValidity = ImapNumberOf(r, "UIDVALIDITY").value_or(0);
    });
    if (e.refused) e.problem = ImapProblem::kFolderMissing;
    return e;
}

ImapError ImapClient::Examine(std::string_view folder, FolderOpened& opened) {
    std::string command;
    if (ImapError e = FolderCommand("EXAMINE", folder, command)) return e;
    ImapError e = RunSeeing(command, [&](const ImapResponse& r) {
        if (const auto n = ImapNumberOf(r, "UIDNEXT")) opened.uidNext = *n;
        if (const auto n = ImapNumberOf(r, "UIDVALIDITY")) opened.uidValidity = *n;
    });
    if (e.refused) e.problem = ImapProblem::kFolderMissing;
    changed_ = false;  // the folder's first counts are no change
    return e;
}

ImapError ImapClient::UnseenFrom(std::uint32_t uid, std::vector<std::uint32_t>& uids) {
    uids.clear();
    // "n:*" also names the last message when its UID is below n.
    std::string command = "UID SEARCH UNSEEN UID ";
    command += std::to_string(std::max<std::uint32_t>(uid, 1));
    command += ":*";
    return RunSeeing(command,
               [&](const ImapResponse& r) {
                   if (r.name != "SEARCH") return;
                   for (const std::uint32_t n : r.numbers)
                       if (n >= uid) uids.push_back(n);
               });
}

ImapError ImapClient::WaitForChange(unsigned waitMs, bool& changed) {
    changed_ = false;
    if (!Offers("IDLE")) {
        ImapError e = Run("NOOP");
        changed = changed_;
        return e;
    }
    const std::string tag = NextTag();
    std::string line = tag + " IDLE\r\n";
    if (ImapError e = Send(line, false)) return e;
    const std::uint64_t commandDeadline = deadline_;
    bool idling = false;
    bool done = false;
    for (;;) {
        ImapResponse r;
        ImapError e = Next(r);
        if (e && e.problem == ImapProblem::kLink && e.link.failure == LinkFailure::kTimedOut && idling && !done) {
            // The wait is over without a change: leave IDLE, with time for its answer.
            done = true;
            deadline_ = now_() + 30000;
            std::string leave = "DONE\r\n";
            if (ImapError sent = Send(leave, false)) return sent;
            continue;
        }
        if (e) return e;
        if (r.kind == ImapKind::kContinuation && !idling) {
            idling = true;
            deadline_ = now_() + waitMs;
            continue;
        }
        if (r.kind == ImapKind::kTagged) {
            deadline_ = commandDeadline;
            if (r.tag != tag) return Problem(ImapProblem::kProtocol, "an answer to another command");
            changed = changed_;
            return r.status == ImapStatus::kOk ? ImapError{} : Problem(ImapProblem::kProtocol, Said(r));
        }
        if (ImapError u = Untagged(r)) return u;
        if (changed_ && idling && !done) {
            done = true;
            deadline_ = now_() + 30000;
            std::string leave = "DONE\r\n";
            if (ImapError sent = Send(leave, false)) return sent;
        }
    }
}

ImapError ImapClient::Logout() { return Run("LOGOUT"); }

}  // namespace vl
