#include "watch/imap_client.h"

#include <gtest/gtest.h>

#include <deque>

#include "watch/imap_account.h"

using namespace vl;

namespace {

std::uint64_t g_now = 0;
std::uint64_t Now() { return g_now; }

// A server's side of a session written down in advance: what it says once
// the client has sent a text, and nothing else. Waiting for silence moves
// the clock on by the whole wait.
class ScriptedLink final : public ImapLink {
public:
    explicit ScriptedLink(std::string greeting) { queued_.push_back(std::move(greeting)); }
    void On(std::string sent, std::string reply) { script_.push_back({std::move(sent), std::move(reply)}); }

    LinkError Send(std::string_view bytes) override {
        sent_.append(bytes);
        for (auto it = script_.begin(); it != script_.end(); ++it) {
            if (sent_.find(it->first, matched_) == std::string::npos) continue;
            matched_ = sent_.size();
            queued_.push_back(it->second);
            script_.erase(it);
            break;
        }
        return {};
    }
    LinkError Receive(std::string& into, unsigned waitMs) override {
        if (queued_.empty()) {
            g_now += waitMs;
            return {LinkFailure::kTimedOut, {}};
        }
        into += queued_.front();
        queued_.pop_front();
        return {};
    }
    LinkError StartTls(unsigned) override {
        ++tlsStarted;
        return {};
    }

    std::string sent_;
    int tlsStarted = 0;

private:
    std::size_t matched_ = 0;
    std::deque<std::string> queued_;
    std::vector<std::pair<std::string, std::string>> script_;
};

constexpr char kGreeting[] = "* OK [CAPABILITY IMAP4rev1 STARTTLS IDLE] ready\r\n";

ImapClient Greeted(ScriptedLink& link) {
    ImapClient client(link, Now);
    client.SetBudget(15000);
    EXPECT_FALSE(client.Greet());
    return client;
}

}  // namespace

TEST(ImapAccount, UrlsCarryAnyUserAndFolderAndNeverASemicolon) {
    ImapAccount a{"jo@example.com;x%", "imap.example.com", 993, "Lists/Dev teams", ImapSecurity::kTls};
    EXPECT_EQ(ImapUrl(a), "imaps://jo%40example.com%3Bx%25@imap.example.com/Lists/Dev%20teams");
    EXPECT_EQ(ParseImapUrl(ImapUrl(a)), a);

    ImapAccount b{"jo", "fd00::5", 1143, "INBOX", ImapSecurity::kPlain};
    EXPECT_EQ(ImapUrl(b), "imap+plain://jo@[fd00::5]:1143/INBOX");
    EXPECT_EQ(ParseImapUrl(ImapUrl(b)), b);
    ImapAccount c{"jo", "mail.example.org", 143, "INBOX", ImapSecurity::kStartTls};
    EXPECT_EQ(ParseImapUrl("IMAP://jo@Mail.Example.org"), c);  // no folder: the inbox

    for (const char* bad : {"imaps://imap.example.com/INBOX", "imaps://@h/INBOX", "imaps://jo@/INBOX",
                            "imaps://jo@h:0/INBOX", "imaps://jo@h:65536/", "imaps://jo@h:99x/", "imaps://j%4@h/",
                            "pop3://jo@h/", "C:\\mail\\inbox.txt", "imaps://jo@h;x/"})
        EXPECT_FALSE(ParseImapUrl(bad)) << bad;
}

TEST(ImapAccount, TheAccountLineKeepsTheUsersAtSignsAndTakesPortAndFolder) {
    const auto a = ParseAccountLine("  jo@example.com@imap.example.com:1993/Lists/Dev ", ImapSecurity::kTls);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->user, "jo@example.com");
    EXPECT_EQ(a->host, "imap.example.com");
    EXPECT_EQ(a->port, 1993);
    EXPECT_EQ(a->folder, "Lists/Dev");
    EXPECT_EQ(AccountLine(*a), "jo@example.com@imap.example.com:1993/Lists/Dev");
    const auto b = ParseAccountLine("jo@imap.example.com", ImapSecurity::kStartTls);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->port, 143);
    EXPECT_EQ(b->folder, "INBOX");
    EXPECT_EQ(AccountLine(*b), "jo@imap.example.com");
    for (const char* bad : {"", "imap.example.com", "@imap.example.com", "jo@", "jo@host:", "jo@host:abc"})
        EXPECT_FALSE(ParseAccountLine(bad, ImapSecurity::kTls)) << bad;
}

TEST(ImapAccount, OnlyThisMachineAndTheLocalNetworkCountAsLocal) {
    for (const char* local : {"localhost", "127.0.0.1", "10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.1.5",
                              "169.254.9.9", "::1", "fe80::1", "fd12::1", "nas", "mail.home.arpa", "box.local"})
        EXPECT_TRUE(IsLocalNetworkHost(local)) << local;
    for (const char* remote : {"imap.example.com", "8.8.8.8", "172.32.0.1", "192.169.0.1", "2001:db8::1",
                               "localhost.example.com", "1.2.3", ""})
        EXPECT_FALSE(IsLocalNetworkHost(remote)) << remote;
}

TEST(ImapAccount, FolderNamesGoOutInModifiedUtf7) {
    EXPECT_EQ(ImapFolderName("INBOX"), "INBOX");
    EXPECT_EQ(ImapFolderName("Tom & Jerry"), "Tom &- Jerry");
    EXPECT_EQ(ImapFolderName("~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"),
              "~peter/mail/&U,BTFw-/&ZeVnLIqe-");
    EXPECT_FALSE(ImapFolderName("bad\xff"));
}

TEST(ImapClient, LoginQuotesWhatItCanSendsTheRestAsLiteralsAndWipesThePassword) {
    ScriptedLink link(kGreeting);
    link.On("LOGIN", "v1 OK logged in\r\n");
    ImapClient client = Greeted(link);
    std::string password = "p\"w";
    EXPECT_FALSE(client.Login("jo", password));
    EXPECT_TRUE(password.empty());
    EXPECT_EQ(link.sent_, "v1 LOGIN \"jo\" \"p\\\"w\"\r\n");
    EXPECT_TRUE(client.LoggedIn());

    ScriptedLink literal(kGreeting);
    literal.On("{5}\r\n", "+ go on\r\n");
    literal.On("\r\n", "v1 OK logged in\r\n");
    ImapClient other = Greeted(literal);
    password = "p\xC3\xA4ss";  // beyond ASCII: no quoted string carries it
    EXPECT_FALSE(other.Login("jo", password));
    EXPECT_EQ(literal.sent_, "v1 LOGIN \"jo\" {5}\r\np\xC3\xA4ss\r\n");

    ScriptedLink wrong(kGreeting);
    wrong.On("LOGIN", "v1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    ImapClient refused = Greeted(wrong);
    password = "nope";
    const ImapError e = refused.Login("jo", password);
    EXPECT_EQ(e.problem, ImapProblem::kLoginRefused);
    EXPECT_EQ(ImapErrorText(e), "login refused: [AUTHENTICATIONFAILED] Authentication failed.");
    EXPECT_FALSE(refused.LoggedIn());
}

TEST(ImapClient, StartTlsRefusesBytesSentBehindTheGoAheadAndForgetsPlainCapabilities) {
    ScriptedLink injected(kGreeting);
    injected.On("STARTTLS", "v1 OK Begin TLS\r\n* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] forged\r\n");
    ImapClient client = Greeted(injected);
    EXPECT_EQ(client.StartTls().problem, ImapProblem::kProtocol);
    EXPECT_EQ(injected.tlsStarted, 0);

    ScriptedLink good(kGreeting);
    good.On("STARTTLS", "v1 OK Begin TLS\r\n");
    good.On("CAPABILITY", "* CAPABILITY IMAP4rev1 IDLE\r\nv2 OK done\r\n");
    ImapClient secured = Greeted(good);
    EXPECT_FALSE(secured.StartTls());
    EXPECT_EQ(good.tlsStarted, 1);
    EXPECT_FALSE(secured.Offers("STARTTLS"));
    EXPECT_TRUE(secured.Offers("idle"));

    ScriptedLink none("* OK [CAPABILITY IMAP4rev1] ready\r\n");
    ImapClient plain = Greeted(none);
    EXPECT_EQ(plain.StartTls().problem, ImapProblem::kNoStartTls);
}

TEST(ImapClient, IdleEndsOnTheFirstChangeOrWhenTheWaitIsOver) {
    ScriptedLink link(kGreeting);
    link.On("IDLE", "+ idling\r\n* OK Still here\r\n* 24 EXISTS\r\n* 1 RECENT\r\n");
    link.On("DONE", "v1 OK Idle completed.\r\n");
    link.On("v2 IDLE", "+ idling\r\n");
    link.On("DONE", "v2 OK Idle completed.\r\n");
    ImapClient client = Greeted(link);
    bool changed = false;
    EXPECT_FALSE(client.WaitForChange(60000, changed));
    EXPECT_TRUE(changed);
    const std::uint64_t before = g_now;
    EXPECT_FALSE(client.WaitForChange(60000, changed));
    EXPECT_FALSE(changed);
    EXPECT_GE(g_now - before, 60000u);
    EXPECT_EQ(link.sent_, "v1 IDLE\r\nDONE\r\nv2 IDLE\r\nDONE\r\n");

    ScriptedLink bye(kGreeting);
    bye.On("IDLE", "+ idling\r\n* BYE Server shutting down.\r\n");
    ImapClient closed = Greeted(bye);
    EXPECT_EQ(closed.WaitForChange(60000, changed).problem, ImapProblem::kClosed);
}

TEST(ImapClient, NewMailIsUnseenFromTheFirstUidOfTheRunAndCountsComeFromStatus) {
    ScriptedLink link("* OK [CAPABILITY IMAP4rev1] ready\r\n");
    link.On("UID SEARCH UNSEEN UID 40:*", "* SEARCH 12 41 57\r\nv1 OK done\r\n");
    link.On("STATUS \"Lists/A&-B\"",
            "* STATUS \"Lists/A&-B\" (MESSAGES 9 UNSEEN 3 RECENT 1 UIDNEXT 58 UIDVALIDITY 7)\r\nv2 OK done\r\n");
    link.On("EXAMINE \"Nope\"", "v3 NO [NONEXISTENT] Mailbox doesn't exist: Nope\r\n");
    link.On("NOOP", "* 10 EXISTS\r\nv4 OK done\r\n");
    ImapClient client = Greeted(link);
    std::vector<std::uint32_t> uids;
    EXPECT_FALSE(client.UnseenFrom(40, uids));
    EXPECT_EQ(uids, (std::vector<std::uint32_t>{41, 57}));  // 12 is the last message, named by "40:*"
    FolderCounts counts;
    EXPECT_FALSE(client.Status("Lists/A&B", counts));
    EXPECT_EQ(counts.unseen, 3u);
    EXPECT_EQ(counts.recent, 1u);
    EXPECT_EQ(counts.uidNext, 58u);
    FolderOpened opened;
    EXPECT_EQ(client.Examine("Nope", opened).problem, ImapProblem::kFolderMissing);
    bool changed = false;
    EXPECT_FALSE(client.WaitForChange(60000, changed));  // no IDLE offered: one NOOP
    EXPECT_TRUE(changed);
}

TEST(ImapClient, ASilentServerCostsTheBudgetAndNoMore) {
    ScriptedLink link(kGreeting);
    ImapClient client = Greeted(link);
    client.SetBudget(15000);
    const std::uint64_t before = g_now;
    FolderCounts counts;
    const ImapError e = client.Status("INBOX", counts);
    EXPECT_EQ(e.link.failure, LinkFailure::kTimedOut);
    EXPECT_EQ(ImapErrorText(e), "timed out");
    EXPECT_LE(g_now - before, 15000u);
    EXPECT_EQ(ReconnectPauseMs(1), 5000u);
    EXPECT_EQ(ReconnectPauseMs(2), 10000u);
    EXPECT_EQ(ReconnectPauseMs(40), 300000u);
}
