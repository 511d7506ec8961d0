#include "watch/imap_watch.h"

namespace vl {
namespace {

ImapError LinkProblem(LinkError link) {
    ImapError error;
    error.problem = ImapProblem::kLink;
    error.link = std::move(link);
    return error;
}

bool Stopped(const ImapError& e) { return e.problem == ImapProblem::kLink && e.link.failure == LinkFailure::kStopped; }

// Nothing the user can mend during a run: trying again would only count as
// more failed logins against the account.
bool Hopeless(const ImapError& e) {
    return e.problem == ImapProblem::kLoginRefused || e.problem == ImapProblem::kLoginDisabled ||
           e.problem == ImapProblem::kNoStartTls || e.problem == ImapProblem::kFolderMissing ||
           (e.problem == ImapProblem::kLink && e.link.failure == LinkFailure::kCertificate);
}

}  // namespace

ImapError OpenImapSession(const ImapAccount& account, std::string& password, ImapWatchPorts& ports, unsigned waitMs,
                          std::unique_ptr<ImapLink>& link, std::unique_ptr<ImapClient>& client) {
    const std::uint64_t start = ports.Clock()();
    LinkError opened;
    link = ports.Open(account, waitMs, opened);
    if (!link) {
        WipeText(password);
        return LinkProblem(opened.failure == LinkFailure::kNone ? LinkError{LinkFailure::kOther, {}} : opened);
    }
    client = std::make_unique<ImapClient>(*link, ports.Clock());
    const std::uint64_t spent = ports.Clock()() - start;  // the link's time counts against the wait
    client->SetBudget(spent < waitMs ? static_cast<unsigned>(waitMs - spent) : 0);
    ImapError e = client->Greet();
    if (!e && account.security == ImapSecurity::kStartTls) e = client->StartTls();
    if (!e) e = client->Login(account.user, password);
    WipeText(password);
    return e;
}

void WatchImapAccount(const ImapAccount& account, ImapWatchPorts& ports) {
    ImapNews news;
    news.url = ImapUrl(account);
    std::uint32_t from = 0;      // the first UID that counts as new
    std::uint32_t validity = 0;  // of the UIDs counted from
    unsigned failures = 0;
    for (;;) {
        std::optional<std::string> password = ports.Password(account);
        if (!password) {
            news.problem = "no password is stored for " + AccountLine(account);
            news.gaveUp = true;
            ports.Tell(news);
            return;
        }
        std::unique_ptr<ImapLink> link;
        std::unique_ptr<ImapClient> client;
        ImapError e = OpenImapSession(account, *password, ports, kImapCommandMs, link, client);
        FolderCounts counts;
        FolderOpened opened;
        if (!e) e = client->Status(account.folder, counts);
        if (!e) e = client->Examine(account.folder, opened);
        if (!e) {
            if (opened.uidNext == 0) opened.uidNext = counts.uidNext;
            if (opened.uidValidity == 0) opened.uidValidity = counts.uidValidity;
            if (from == 0 || opened.uidValidity != validity) {
                from = std::max<std::uint32_t>(opened.uidNext, 1);
                validity = opened.uidValidity;
            }
            failures = 0;
            bool changed = true;  // what came while the connection was down
            for (;;) {
                if (changed) {
                    std::vector<std::uint32_t> uids;
                    client->SetBudget(kImapCommandMs);
                    if ((e = client->UnseenFrom(from, uids))) break;
                    news.connected = true;
                    news.newMail = static_cast<std::uint32_t>(uids.size());
                    news.problem.clear();
                    ports.Tell(news);
                }
                if (!client->Offers("IDLE") && !ports.Pause(kImapPollMs)) return;
                client->SetBudget(kImapCommandMs);
                if ((e = client->WaitForChange(kImapIdleMs, changed))) break;
            }
        }
        if (Stopped(e)) return;
        news.connected = false;
        news.problem = ImapErrorText(e);
        news.gaveUp = Hopeless(e);
        ports.Tell(news);
        if (news.gaveUp) return;
        if (!ports.Pause(ReconnectPauseMs(++failures))) return;
    }
}

std::string TestImapAccount(const ImapAccount& account, std::string password, ImapWatchPorts& ports,
                            unsigned budgetMs) {
    std::unique_ptr<ImapLink> link;
    std::unique_ptr<ImapClient> client;
    ImapError e = OpenImapSession(account, password, ports, budgetMs, link, client);
    FolderCounts counts;
    if (!e) e = client->Status(account.folder, counts);
    if (e) return "failed: " + ImapErrorText(e);
    (void)client->Logout();
    return std::to_string(counts.unseen) + " unread, " + std::to_string(counts.recent) + " new since the last login";
}

}  // namespace vl
