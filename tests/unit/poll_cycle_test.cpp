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

class FakeDesktop : public Desktop, public Notifier {
public:
    std::vector<std::string> captions;
    int captionPasses = 0;
    std::optional<std::string> mail = std::string();  // the last completed check's answer
    int mailAnswersTaken = 0;
    int mailChecksAsked = 0;
    std::map<std::string, std::string> files;  // path -> general date
    std::vector<std::string> events;
    std::vector<std::string> found;  // EventFound calls: record, name, method
    std::string completedPrefix;  // ShowIconEx completes bare names with this
    std::function<void()> onShowIconEx;

    std::vector<std::string> TopLevelCaptions() override { return ++captionPasses, captions; }
    void RequestMailCheck() override { ++mailChecksAsked; }
    std::optional<std::string> LastMailAnswer() override { return ++mailAnswersTaken, mail; }
    std::map<std::string, std::uint32_t> imap;  // what the watchers told, by URL
    std::vector<std::string> imapAsked;
    std::optional<std::uint32_t> ImapNewMail(const std::string& url) override {
        imapAsked.push_back(url);
        if (const auto it = imap.find(url); it != imap.end()) return it->second;
        return std::nullopt;
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
    void EventFound(int record, std::string_view name, std::int16_t method, std::string_view detail) override {
        found.push_back(std::to_string(record) + " " + std::string(name) + " " + std::to_string(method) +
                        (detail.empty() ? "" : " " + std::string(detail)));
    }
    // The processes (all the current user's) and one folder's files.
    std::vector<RunningProcess> processes;
    int processLists = 0, folderListings = 0;
    std::vector<FolderEntry> folder;
    std::vector<RunningProcess> Processes() override { return ++processLists, processes; }
    std::optional<std::string> OwnProcessPath(std::uint32_t) override { return std::string("C:\\bin\\x.exe"); }
    bool Watch(std::uint32_t) override { return true; }
    bool HasEnded(std::uint32_t) override { return processes.empty(); }
    bool FolderChanged(const std::string&) override { return true; }
    std::optional<std::vector<FolderEntry>> FolderFiles(const std::string&) override {
        return ++folderListings, folder;
    }
    bool BeingWritten(const std::string&) override { return false; }
    void Log(std::string_view) override {}
    std::set<std::string> onShow;  // icons the display has shown, as records name them
    bool IconShown(const std::string& icon) override { return onShow.count(icon) > 0; }
};

const std::string kIni = "C:\\V\\QVX_data\\Lumiwake.ini";

class PollCycleTest : public ::testing::Test {
protected:
    RuntimeState state;
    FakeDesktop desktop;
    vltest::FakeProfileFs fs;
    ProfileStore store{fs, kIni};

    void SetUp() override {
        state.host.SaverConfirmed = true;
        state.host.SaverProcessCount = 1;
    }
    JobWatch jobs;
    void Run() { CheckAll(state, desktop, desktop, store, jobs); }
    void EveryKindHasAnEvent() {  // unread mail, a "Build finished" window, a dated file
        desktop.mail = "you've got mail";
        desktop.captions = {"Build finished"};
        desktop.files["C:\\r.txt"] = "1/3/2026 9:00:00 AM";
    }
};

TEST(CaptionRule, ExactCaseSensitiveSubstringAndEmptyText) {
    EXPECT_TRUE(CaptionMatches("Inbox - Mail", "x - M"));
    EXPECT_FALSE(CaptionMatches("Inbox - Mail", "inbox"));
    EXPECT_FALSE(CaptionMatches("", ""));  // a window without a caption matches nothing
}

TEST_F(PollCycleTest, NothingHappensUnconfirmedOrEmptyAndMailWithIconNotifiesWithoutIconWritesText) {
    desktop.mail = "you've got mail";
    state.host.SaverConfirmed = false;
    state.apps.AppTable = {"-1;0;1;Mail;;2;Internal;mail.ico;;", "-2;0;1;Mail2;;2;Internal;;;"};
    Run();
    EXPECT_EQ(desktop.mailChecksAsked, 0);
    state.host.SaverConfirmed = true;
    Run();
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 2 mail.ico", "text You've got email"}));
    desktop.events.clear();
    desktop.mail = "";
    Run();
    state.apps.AppTable.clear();
    desktop.mail = "you've got mail";
    Run();
    EXPECT_TRUE(desktop.events.empty());
    // One check asked and one answer taken per cycle, however many mail
    // records; none for the empty table.
    EXPECT_EQ(desktop.mailChecksAsked, 2);
    EXPECT_EQ(desktop.mailAnswersTaken, 2);
}

TEST_F(PollCycleTest, ACycleIsNeverEnteredAgainFromInsideADisplayCall) {
    desktop.captions = {"Alpha"};
    state.apps.AppTable = {"1;1;1;A;;1;Wait for window;a.ico;Alpha;", "2;1;1;B;;1;Wait for window;b.ico;Alpha;"};
    int nested = 0;
    desktop.onShowIconEx = [&] {
        if (nested++ == 0) Run();  // a message pumped inside the display call ticks the watchdog
    };
    Run();
    EXPECT_EQ(desktop.captionPasses, 1);
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 1 a.ico", "ShowIconEx 1 b.ico"}));
    EXPECT_FALSE(state.apps.PollCycleRunning);
    Run();  // and the next tick runs again
    EXPECT_EQ(desktop.captionPasses, 2);
}

TEST_F(PollCycleTest, OneCaptionPassServesEveryTickedWindowRecord) {
    desktop.captions = {"", "Alpha", "Beta two"};
    state.apps.AppTable = {"1;1;0;U;;1;Wait for window;u.ico;Alpha;", "2;1; 1;V;;1;Wait for window;v.ico;Alpha;",
                           "3;1;1;W;;9;Other;w.ico;Alpha;",  // unknown method: skipped
                           "4;1;1;A;;1;Wait for window;a.ico;Alpha;", "5;1;1;B;;1;Wait for window;b.ico;Gamma;",
                           "6;1;1;C;;1;Wait for window;;two;",        "7;1;1;D;;1;Wait for window;d.ico;;"};
    Run();
    EXPECT_EQ(desktop.captionPasses, 1);
    // A window record has no text fallback: an empty icon is passed on.
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 1 a.ico", "ShowIconEx 1 ", "ShowIconEx 1 d.ico"}));
}

TEST_F(PollCycleTest, FileChangeIsReportedOnceAndTheNewDateIsKept) {
    desktop.files["C:\\r.txt"] = "1/3/2026 9:00:00 AM";
    state.apps.AppTable = {"-1;0;0;Mail;;2;Internal;;;", "8;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;"};
    Run();
    const std::string rebuilt = "8;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;1/3/2026 9:00:00 AM";
    EXPECT_EQ(desktop.events, std::vector<std::string>{"text C:\\r.txt has been modified"});
    EXPECT_EQ(state.apps.AppTable[1], rebuilt);
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), rebuilt);
    Run();  // the same date again: no second report
    EXPECT_EQ(desktop.events.size(), 1u);
}

// Stored dates are compared in the general form, without regard to case.
TEST_F(PollCycleTest, UnchangedDatesDamagedRecordsMissingFilesAndFailingMailAreSkippedAndTheCycleGoesOn) {
    desktop.mail = std::nullopt;  // the mail library is missing
    desktop.captions = {"Target"};
    desktop.files["C:\\r.txt"] = "1/2/2026";
    desktop.files["C:\\s.txt"] = "1/2/2026 9:00:00 AM";
    state.apps.AppTable = {"1;1;1;Short;;1",
                           "2;1;1;NaN;;x;Wait for window;a.ico;Target;",
                           "-1;0;1;Mail;;2;Internal;;;",
                           "8;1;1;Gone;;0;Watch for file update;;C:\\gone.txt;",
                           "8;1;1;R;;0;Watch for file update;r.ico;C:\\r.txt;1/2/26",
                           "9;1;1;S;;0;Watch for file update;s.ico;C:\\s.txt;1/2/2026 9:00:00 am",
                           "3;1;1;Good;;1;Wait for window;g.ico;Target;"};
    Run();
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 1 g.ico"});
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(PollCycleTest, SecondProcessAddsShowIconWithTheCompletedPathUnlessADisplayCallShutsDown) {
    state.host.SaverProcessCount = 2;
    desktop.completedPrefix = "C:\\V\\QVX_data\\";
    desktop.captions = {"Build finished"};
    state.apps.AppTable = {"1;1;1;A;;1;Wait for window;a.ico;finished;", "2;1;1;B;;1;Wait for window;b.ico;Build;"};
    Run();
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 1 a.ico", "ShowIcon 1 C:\\V\\QVX_data\\a.ico",
                                                        "ShowIconEx 1 b.ico", "ShowIcon 1 C:\\V\\QVX_data\\b.ico"}));
    desktop.events.clear();
    desktop.onShowIconEx = [this] { state.host.SaverConfirmed = false; };
    Run();  // the shutdown ends the cycle: not even the screen copy is drawn
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 1 a.ico"});
}

// Every event is told with its record's number and name before it is shown,
// so that what happened can be listed once the saver has gone.
TEST_F(PollCycleTest, EveryEventIsToldWithItsRecordBeforeItIsShownAndEveryCycleIsCounted) {
    EveryKindHasAnEvent();
    state.apps.AppTable = {"-1;0;1;Mail;;2;Internal;;;", "1;1;0;Off;;1;Wait for window;o.ico;Build;",
                           "2;1;1;Build;;1;Wait for window;b.ico;Build;",
                           "8;1;1;Report;C:\\r.txt;0;Watch for file update;r.ico;C:\\r.txt;"};
    desktop.onShowIconEx = [this] { EXPECT_EQ(desktop.found.size(), desktop.events.size()); };
    Run();
    EXPECT_EQ(desktop.found, (std::vector<std::string>{"0 Mail 2", "2 Build 1", "3 Report 0"}));
    EXPECT_EQ(state.apps.PollCycles, 1u);
    Run();  // lasting events are told again; the file's change is not
    EXPECT_EQ(desktop.found.size(), 5u);
    EXPECT_EQ(state.apps.PollCycles, 2u);
    state.host.SaverConfirmed = false;
    Run();
    EXPECT_EQ(state.apps.PollCycles, 2u);
}

// Without a summary to keep, what is on show already needs no second look:
// no caption pass and no mail check once every window and mail record shows,
// while a changed file's date is still kept.
TEST_F(PollCycleTest, WhatIsOnShowIsNotLookedAtAgainUnlessTheSummaryKeepsEvents) {
    EveryKindHasAnEvent();
    state.apps.AppTable = {"-1;0;1;Mail;;2;Internal;;;", "2;1;1;Build;;1;Wait for window;b.ico;Build;",
                           "3;1;1;Test;;1;Wait for window;;finished;",
                           "8;1;1;Report;C:\\r.txt;0;Watch for file update;r.ico;C:\\r.txt;"};
    desktop.onShow = {"b.ico"};
    Run();  // the text is not on show yet, nor the window record's empty icon
    EXPECT_EQ(desktop.captionPasses, 1);
    EXPECT_EQ(desktop.mailChecksAsked, 1);
    state.display.ShownTexts = {"You've got email"};
    desktop.onShow.insert("");
    desktop.events.clear();
    desktop.files["C:\\r.txt"] = "1/4/2026 9:00:00 AM";
    Run();
    EXPECT_EQ(desktop.captionPasses, 1);
    EXPECT_EQ(desktop.mailChecksAsked, 1);
    EXPECT_EQ(desktop.events, std::vector<std::string>{"ShowIconEx 0 r.ico"});
    EXPECT_EQ(fs.Get(kIni, "applist", "app3"), "8;1;1;Report;C:\\r.txt;0;Watch for file update;r.ico;C:\\r.txt;1/4/2026 9:00:00 AM");
    state.settings.AwaySummary = true;  // each cycle's events are kept for the summary
    Run();
    EXPECT_EQ(desktop.captionPasses, 2);
    EXPECT_EQ(desktop.mailChecksAsked, 2);
    EXPECT_EQ(desktop.found.size(), 7u);
}

// A program's end and a folder's new files show like the other events: the
// icon, or without one a line of text; each new file is told by its name.
// One process list serves every program record of a cycle, and none is
// taken once all of them show, unless the summary keeps events.
TEST_F(PollCycleTest, ProgramEndAndNewFilesShowLikeOtherEventsAndAreNotLookedAtOnceOnShow) {
    desktop.processes = {{7, "x.exe"}};
    desktop.folder = {{"old.pdf", 1}};
    state.apps.AppTable = {"-1;0;0;Mail;;2;Internal;;;", "4;1;1;Job;;3;Wait for program to end;job.ico;x.exe;",
                           "5;1;1;Job2;;3;Wait for program to end;;X.EXE;",
                           "6;1;1;Scans;;4;Watch folder for new files;;D:\\S\\*.pdf;"};
    Run();
    desktop.processes.clear();
    desktop.folder.push_back({"new.pdf", 5});
    Run();  // the program has ended; the file has come
    Run();  // and its size held
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"ShowIconEx 3 job.ico", "text X.EXE has ended",
                                                        "ShowIconEx 3 job.ico", "text X.EXE has ended",
                                                        "text New file: D:\\S\\new.pdf"}));
    EXPECT_EQ(desktop.found.back(), "3 Scans 4 new.pdf");
    EXPECT_EQ(desktop.processLists, 3);
    desktop.onShow = {"job.ico"};
    state.display.ShownTexts = {"X.EXE has ended"};
    Run();
    EXPECT_EQ(desktop.processLists, 3);
    EXPECT_EQ(desktop.folderListings, 4);  // a file's own line cannot be known before the look
    state.settings.AwaySummary = true;
    Run();
    EXPECT_EQ(desktop.processLists, 4);
}

// ---- the mail check ----------------------------------------------------------

class FakeMapi : public MapiPort {
public:
    bool available = true;
    std::uintptr_t session = 4711;
    std::string id;
    std::vector<std::string> calls;
    bool Available() override { return available; }
    std::uintptr_t Logon() override { return calls.push_back("logon"), session; }
    std::string FindNextUnread(std::uintptr_t s) override { return calls.push_back("find " + std::to_string(s)), id; }
    void Logoff(std::uintptr_t s) override { calls.push_back("logoff " + std::to_string(s)); }
};

// A session is a handle without the sign bit; every opened session is closed.
TEST(MailCheck, OnlyANonZeroUnsignedHandleIsASessionAndEverySessionIsClosed) {
    constexpr std::uintptr_t kSignBit = std::uintptr_t{1} << (8 * sizeof(std::uintptr_t) - 1);
    struct Case {
        std::uintptr_t session;
        const char* id;
        bool opened;
    };
    std::vector<Case> cases = {{4711, "00000001", true},
                               {4711, "", true},
                               {0, "00000001", false},
                               {kSignBit | 1u, "00000001", false},
                               {~std::uintptr_t{0}, "00000001", false}};
    if (sizeof(std::uintptr_t) > 4) cases.push_back({0x80000001u, "00000001", true});  // bit 31 is no sign
    for (const Case& c : cases) {
        FakeMapi mapi;
        mapi.session = c.session;
        mapi.id = c.id;
        EXPECT_EQ(CheckMail(mapi), c.opened && *c.id ? "you've got mail" : "") << c.session;
        const std::string s = std::to_string(c.session);
        const auto want = c.opened ? std::vector<std::string>{"logon", "find " + s, "logoff " + s}
                                   : std::vector<std::string>{"logon"};
        EXPECT_EQ(mapi.calls, want) << c.session;
    }
    FakeMapi missing;
    missing.available = false;
    EXPECT_FALSE(CheckMail(missing).has_value());  // a failure, not "no mail"
    EXPECT_TRUE(missing.calls.empty());
}

}  // namespace

TEST_F(PollCycleTest, AnImapRecordShowsOnlyMailThatArrivedDuringTheRunAndIsNotAskedOnceOnShow) {
    const std::string url = "imaps://jo%40example.com@imap.example.com/INBOX";
    state.apps.AppTable = {"1;1;1;Work;" + url + ";5;IMAP mail;work.ico;" + url + ";",
                           "2;1;1;Home;;5;IMAP mail;;imap://me@home.lan/INBOX;"};
    Run();  // nothing told yet: each account is asked, which starts its watcher
    EXPECT_EQ(desktop.imapAsked, (std::vector<std::string>{url, "imap://me@home.lan/INBOX"}));
    EXPECT_TRUE(desktop.events.empty());
    desktop.imap[url] = 0;  // connected, no new mail
    desktop.imap["imap://me@home.lan/INBOX"] = 2;
    Run();
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"text New mail for me@home.lan"}));
    desktop.imap[url] = 1;
    desktop.onShow.insert("work.ico");
    state.display.ShownTexts.push_back("New mail for me@home.lan");
    desktop.imapAsked.clear();
    desktop.events.clear();
    Run();
    EXPECT_TRUE(desktop.events.empty());  // the icon is up and the text written: nothing to ask
    EXPECT_TRUE(desktop.imapAsked.empty());
    state.settings.AwaySummary = true;  // a summary counts every event: both are asked and reported
    desktop.onShow.clear();
    Run();
    EXPECT_EQ(desktop.found, (std::vector<std::string>{"1 Home 5", "0 Work 5", "1 Home 5"}));
    EXPECT_EQ(desktop.imapAsked.size(), 2u);
}
