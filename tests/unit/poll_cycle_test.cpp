#include "watch/poll_cycle.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fake_profile_fs.h"
#include "settings/profile_store.h"
#include "watch/general_date.h"
#include "watch/mail_check.h"

using namespace vl;

namespace {

class FakeDesktop : public WatchPorts {
public:
    std::vector<std::string> captions;
    int captionPasses = 0;
    std::optional<std::string> mail = std::string();
    int mailChecks = 0;
    std::map<std::string, std::string> files;  // path -> general date
    std::vector<std::string> events;
    std::string completedPrefix;  // ShowIconEx completes bare names with this
    std::function<void()> onShowIconEx;

    std::vector<std::string> TopLevelCaptions() override {
        ++captionPasses;
        return captions;
    }
    std::optional<std::string> CheckMail() override {
        ++mailChecks;
        return mail;
    }
    bool FileExists(const std::string& path) override { return files.count(path) > 0; }
    std::optional<std::string> FileDate(const std::string& path) override { return files.at(path); }
    std::string NormalizeDate(const std::string& stored) override { return stored == "1/2/26" ? "1/2/2026" : stored; }
    void ShowIconEx(std::int16_t n, std::string& icon) override {
        events.push_back("ShowIconEx " + std::to_string(n) + " " + icon);
        if (!completedPrefix.empty() && icon.find('\\') == std::string::npos) icon = completedPrefix + icon;
        if (onShowIconEx) onShowIconEx();
    }
    void ShowIcon(std::int16_t n, std::string& icon) override {
        events.push_back("ShowIcon " + std::to_string(n) + " " + icon);
    }
    void WriteText(std::string_view text) override { events.push_back("text " + std::string(text)); }
};

const std::string kIni = "C:\\V\\QVX_data\\Lumiwake.ini";

class PollCycleTest : public ::testing::Test {
protected:
    RuntimeState state;
    FakeDesktop desktop;
    vltest::FakeProfileFs fs;
    ProfileStore store{fs, kIni};

    void SetUp() override {
        state.SaverConfirmed = true;
        state.SaverProcessCount = 1;
    }
    void Run() { CheckAll(state, desktop, store); }
};

TEST(CaptionRule, ExactCaseSensitiveSubstringAndEmptyText) {
    EXPECT_TRUE(CaptionMatches("Inbox - Mail", "Inbox"));
    EXPECT_TRUE(CaptionMatches("Inbox - Mail", "x - M"));
    EXPECT_FALSE(CaptionMatches("Inbox - Mail", "inbox"));
    EXPECT_FALSE(CaptionMatches("inbox", "INBOX"));
    EXPECT_TRUE(CaptionMatches("anything", ""));
    EXPECT_FALSE(CaptionMatches("", ""));
    EXPECT_FALSE(CaptionMatches("", "a"));
}

TEST(DateRule, GeneralFormAndComparison) {
    EXPECT_EQ(GeneralDateText({true, false, "1/2/2026", "3:04:05 PM"}), "1/2/2026 3:04:05 PM");
    EXPECT_EQ(GeneralDateText({true, true, "1/2/2026", "12:00:00 AM"}), "1/2/2026");
    EXPECT_EQ(GeneralDateText({false, false, "", "3:04:05 PM"}), "3:04:05 PM");
    EXPECT_TRUE(SameDateText("1/2/2026 3:04:05 pm", "1/2/2026 3:04:05 PM"));
    EXPECT_FALSE(SameDateText("", "1/2/2026"));
}

TEST_F(PollCycleTest, NothingHappensUnconfirmedOrEmpty) {
    state.AppTable = {"1;1;1;A;;2;Internal;;;"};
    state.SaverConfirmed = false;
    desktop.mail = "you've got mail";
    Run();
    state.SaverConfirmed = true;
    state.AppTable.clear();
    Run();
    EXPECT_EQ(desktop.mailChecks, 0);
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(PollCycleTest, OnlyExactlyOneIsPolledAndUnknownMethodsAreSkipped) {
    desktop.captions = {"Editor"};
    state.AppTable = {"1;1;0;A;;1;Wait for window;a.ico;Editor;", "2;1; 1;B;;1;Wait for window;b.ico;Editor;",
                      "3;1;1;C;;3;Other;c.ico;Editor;", "4;1;1;D;;1;Wait for window;d.ico;Editor;"};
    Run();
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 1 d.ico"});
}

TEST_F(PollCycleTest, MailWithIconNotifiesWithoutIconWritesText) {
    desktop.mail = "you've got mail";
    state.AppTable = {"-1;0;1;Mail;;2;Internal;mail.ico;;", "-2;0;1;Mail2;;2;Internal;;;"};
    Run();
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 2 mail.ico", "text You've got email"}));
    desktop.events.clear();
    desktop.mail = "";
    Run();
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(PollCycleTest, SecondProcessAddsShowIconWithTheCompletedPath) {
    state.SaverProcessCount = 2;
    desktop.completedPrefix = "C:\\V\\QVX_Data\\";
    desktop.captions = {"Build finished"};
    state.AppTable = {"1;1;1;A;;1;Wait for window;done.ico;finished;"};
    Run();
    EXPECT_EQ(desktop.events,
              (std::vector<std::string>{"ShowIconEx 1 done.ico", "ShowIcon 1 C:\\V\\QVX_Data\\done.ico"}));
}

TEST_F(PollCycleTest, OneCaptionPassServesEveryWindowRecord) {
    desktop.captions = {"", "Alpha", "Beta two"};
    state.AppTable = {"1;1;1;A;;1;Wait for window;a.ico;Alpha;", "2;1;1;B;;1;Wait for window;b.ico;Gamma;",
                      "3;1;1;C;;1;Wait for window;;two;", "4;1;1;D;;1;Wait for window;d.ico;;"};
    Run();
    EXPECT_EQ(desktop.captionPasses, 1);
    // A window record has no text fallback: an empty icon is passed on.
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 1 a.ico", "ShowIconEx 1 ", "ShowIconEx 1 d.ico"}));
}

TEST_F(PollCycleTest, FileChangeIsReportedOnceAndTheNewDateIsKept) {
    desktop.files["C:\\r.txt"] = "1/3/2026 9:00:00 AM";
    state.AppTable = {"-1;0;0;Mail;;2;Internal;;;", "8;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;"};
    Run();
    const std::string rebuilt = "8;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;1/3/2026 9:00:00 AM";
    EXPECT_EQ(desktop.events, std::vector<std::string>{"text C:\\r.txt has been modified"});
    EXPECT_EQ(state.AppTable[1], rebuilt);
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), rebuilt);
    Run();  // the same date again: no second report
    EXPECT_EQ(desktop.events.size(), 1u);
}

TEST_F(PollCycleTest, StoredDateIsComparedInTheGeneralFormWithoutCase) {
    desktop.files["C:\\r.txt"] = "1/2/2026";
    desktop.files["C:\\s.txt"] = "1/2/2026 9:00:00 AM";
    state.AppTable = {"8;1;1;R;;0;Watch for file update;r.ico;C:\\r.txt;1/2/26",
                      "9;1;1;S;;0;Watch for file update;s.ico;C:\\s.txt;1/2/2026 9:00:00 am"};
    Run();
    EXPECT_TRUE(desktop.events.empty());
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(PollCycleTest, MissingFileIsNoEvent) {
    state.AppTable = {"8;1;1;R;;0;Watch for file update;;C:\\gone.txt;"};
    Run();
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(PollCycleTest, DamagedRecordsAndFailingMailAreSkippedAndTheCycleGoesOn) {
    desktop.mail = std::nullopt;  // the mail library is missing
    desktop.captions = {"Target"};
    state.AppTable = {"1;1;1;Short;;1", "2;1;1;NaN;;x;Wait for window;a.ico;Target;",
                      "-1;0;1;Mail;;2;Internal;;;", "3;1;1;Good;;1;Wait for window;g.ico;Target;"};
    Run();
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 1 g.ico"});
}

TEST_F(PollCycleTest, ShutdownDuringADisplayCallEndsTheCycle) {
    state.SaverProcessCount = 2;  // not even the screen copy is drawn after the shutdown
    desktop.captions = {"Target"};
    desktop.onShowIconEx = [this] { state.SaverConfirmed = false; };
    state.AppTable = {"1;1;1;A;;1;Wait for window;a.ico;Target;", "2;1;1;B;;1;Wait for window;b.ico;Target;"};
    Run();
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 1 a.ico"});
}

// ---- the mail check ----------------------------------------------------------

class FakeMapi : public MapiPort {
public:
    bool available = true;
    std::uintptr_t session = 4711;
    std::string id;
    std::vector<std::string> calls;
    bool Available() override { return available; }
    std::uintptr_t Logon() override {
        calls.push_back("logon");
        return session;
    }
    std::string FindNextUnread(std::uintptr_t s) override {
        calls.push_back("find " + std::to_string(s));
        return id;
    }
    void Logoff(std::uintptr_t s) override { calls.push_back("logoff " + std::to_string(s)); }
};

TEST(MailCheck, UnreadMessageIsMailAndTheSessionIsClosed) {
    FakeMapi mapi;
    mapi.id = "00000001";
    EXPECT_EQ(CheckMail(mapi), "you've got mail");
    EXPECT_EQ(mapi.calls, (std::vector<std::string>{"logon", "find 4711", "logoff 4711"}));
}

TEST(MailCheck, NoUnreadMessageStillLogsOff) {
    FakeMapi mapi;
    EXPECT_EQ(CheckMail(mapi), "");
    EXPECT_EQ(mapi.calls, (std::vector<std::string>{"logon", "find 4711", "logoff 4711"}));
}

TEST(MailCheck, NoSessionMeansNoFindAndNoLogoff) {
    constexpr std::uintptr_t kSignBit = std::uintptr_t{1} << (8 * sizeof(std::uintptr_t) - 1);
    for (std::uintptr_t session : {std::uintptr_t{0}, kSignBit | 1u, ~std::uintptr_t{0}}) {
        FakeMapi mapi;
        mapi.session = session;
        mapi.id = "00000001";
        EXPECT_EQ(CheckMail(mapi), "");
        EXPECT_EQ(mapi.calls, std::vector<std::string>{"logon"});
    }
}

TEST(MailCheck, HandleWithBit31IsASessionWhenHandlesAreWider) {
    if (sizeof(std::uintptr_t) <= 4) GTEST_SKIP() << "32-bit handles: bit 31 is the sign bit";
    FakeMapi mapi;
    mapi.session = 0x80000001u;
    EXPECT_EQ(CheckMail(mapi), "");
    EXPECT_EQ(mapi.calls, (std::vector<std::string>{"logon", "find 2147483649", "logoff 2147483649"}));
}

TEST(MailCheck, MissingLibraryIsAFailureNotAMailResult) {
    FakeMapi mapi;
    mapi.available = false;
    EXPECT_FALSE(CheckMail(mapi).has_value());
    EXPECT_TRUE(mapi.calls.empty());
}

}  // namespace
