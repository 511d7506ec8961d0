#include "host/saver_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_host.h"
#include "host/launch.h"

using namespace vl;
using vltest::FakeHost;

namespace {

class SaverWatchTest : public ::testing::Test {
protected:
    RuntimeState state;
    FakeHost host;
    void SetUp() override {
        state.host.IsSaverRunning = true;
        state.host.ShellTaskId = 50;
        state.host.OverlayTimer = 2;
        host.processes = {{4, 0}, {50, 9}, {61, 50}, {70, 61}, {80, 50}};
        host.alive = {4, 50, 61, 70, 80};
    }
};

TEST(ProcessListing, StartedProcessAndDirectChildrenInSnapshotOrder) {
    std::vector<ProcessEntry> snap = {{7, 50}, {50, 1}, {9, 7}, {8, 50}};
    EXPECT_EQ(SelectSaverProcesses(snap, 50), (std::vector<std::uint32_t>{7, 50, 8}));
    EXPECT_TRUE(SelectSaverProcesses(snap, 51).empty());
    EXPECT_TRUE(SelectSaverProcesses({{4, 0}, {0, 0}}, 0).empty());  // nothing started
}

TEST_F(SaverWatchTest, ListingFillsStateLogsAndForcesBlinking) {
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.host.SaverProcessIds, (std::vector<std::uint32_t>{50, 61, 80}));
    EXPECT_EQ(state.host.SaverProcessCount, 3);
    EXPECT_TRUE(state.settings.BlinkIcons);
    EXPECT_EQ(host.log, ListingLogText(50, {50, 61, 80}));  // 70, a grandchild, is not the saver
    host.processes = {{50, 9}};
    state.settings.BlinkIcons = false;
    FindSaverProcesses(state, host, 50);
    EXPECT_FALSE(state.settings.BlinkIcons);  // one process leaves blinking alone
    host.logWritable = false;                 // neither an unwritable log nor a failed snapshot is an error
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.host.SaverProcessCount, 1);
    host.snapshotFails = true;
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.host.SaverProcessCount, 0);
    EXPECT_FALSE(IsSaverProcess(state, 0));
}

TEST_F(SaverWatchTest, ProcessOlderThanTheSaverIsNoChildThoughItsParentIdMatches) {
    host.olderThanSaver = {61};  // its parent ended before the saver got the same id
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.host.SaverProcessIds, (std::vector<std::uint32_t>{50, 80}));
}

TEST_F(SaverWatchTest, OwnedScreenConfirmsAndPollsAndAForeignOneShutsDownInOrder) {
    host.owner = 61;
    host.formVisible = true;  // the watchdog waits while the form shows
    Timer1_Timer(state, host, host);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.log.empty());
    host.formVisible = false;
    Timer1_Timer(state, host, host);
    EXPECT_TRUE(state.host.SaverConfirmed);
    EXPECT_EQ(host.calls, std::vector<std::string>{"check all"});
    EXPECT_EQ(host.log, ListingLogText(50, {50, 61, 80}));  // listed and logged once
    host.calls.clear();
    state.host.DisplayPropertiesTimer = 3;
    host.owner = 4;  // another program's window
    Timer1_Timer(state, host, host);
    EXPECT_FALSE(state.host.SaverConfirmed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "kill 3", "finish"}));
}

TEST_F(SaverWatchTest, GraceKeepsASlowSaverUntilItShowsUp) {
    host.processes = {{50, 9}};
    host.owner = 4;
    host.now = 500;  // the first overlay tick, well inside the grace time
    EXPECT_FALSE(OverlayTickOwnership(state, host, host));
    Timer1_Timer(state, host, host);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(state.host.SaverConfirmed);

    host.processes.push_back({66, 50});  // a child started late is found
    host.alive.insert(66);
    host.owner = 66;
    host.now = 4000;
    EXPECT_TRUE(OverlayTickOwnership(state, host, host));
    EXPECT_TRUE(state.host.SaverSeenOwning);
    EXPECT_EQ(state.host.SaverProcessCount, 2);
    EXPECT_EQ(host.log, ListingLogText(50, {50}) + ListingLogText(50, {50, 66}));  // logged when it changed
    // Once seen, the rule holds without grace or relisting: a child started later is not the saver.
    host.processes.push_back({99, 50});
    host.owner = 99;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);
}

TEST_F(SaverWatchTest, GraceEndsWhenEveryProcessHasEndedOrAfterTenSeconds) {
    host.processes = {{50, 9}, {61, 50}};
    host.owner = 4;
    state.host.SaverLaunchMs = 1000;
    host.now = 1000 + kSaverGraceMs - 1;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Pending);
    host.alive.erase(50);
    EXPECT_EQ(TestOwnership(state, host), Ownership::Pending);  // its child still lives
    host.now = 1000 + kSaverGraceMs;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);  // ten seconds are up
    host.now = 1000 + kSaverGraceMs - 1;
    host.alive.erase(61);
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);  // every process has ended
}

TEST_F(SaverWatchTest, OverlayTickEndsASaverThatNeverStartedAndStopsItselfOutsideRunMode) {
    state.host.ShellTaskId = 0;
    host.owner = 4;
    EXPECT_FALSE(OverlayTickOwnership(state, host, host));
    EXPECT_EQ(host.calls, std::vector<std::string>{"finish"});
    host.calls.clear();
    state.host.IsSaverRunning = false;
    EXPECT_FALSE(OverlayTickOwnership(state, host, host));
    EXPECT_EQ(host.calls, std::vector<std::string>{"kill 2"});
}

TEST_F(SaverWatchTest, ProcessEndTestsAtOnceAndAChildMayStillOwnTheScreen) {
    host.owner = 61;
    Timer1_Timer(state, host, host);
    host.calls.clear();
    host.alive.erase(50);
    OnSaverProcessEnded(state, host, host);
    EXPECT_TRUE(host.calls.empty());
    host.owner = 0;
    OnSaverProcessEnded(state, host, host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "finish"}));
}

TEST_F(SaverWatchTest, DisplayPropertiesWatch) {
    state.host.IsConfigMode = true;
    state.host.DisplayPropertiesTimer = 3;
    state.host.DisplayPropertiesWindow = 0x77;
    DisplayPropertiesTimerProc(state, host, host);
    EXPECT_TRUE(host.calls.empty());
    state.host.DisplayPropertiesWindow = 0x78;  // closed
    DisplayPropertiesTimerProc(state, host, host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"kill 3", "finish"}));
    host.calls.clear();
    state.host.IsConfigMode = false;
    DisplayPropertiesTimerProc(state, host, host);
    EXPECT_EQ(host.calls, std::vector<std::string>{"kill 3"});

    // The window that passed its handle is watched the same way, alone or beside the other.
    for (const std::uintptr_t displayProperties : {std::uintptr_t{0}, std::uintptr_t{0x77}}) {
        host.calls.clear();
        state.host.IsConfigMode = true;
        state.host.DisplayPropertiesWindow = displayProperties;
        state.host.SettingsWindow = 0x77;
        DisplayPropertiesTimerProc(state, host, host);
        EXPECT_TRUE(host.calls.empty());
        state.host.SettingsWindow = 0x79;  // closed
        DisplayPropertiesTimerProc(state, host, host);
        EXPECT_EQ(host.calls, (std::vector<std::string>{"kill 3", "finish"}));
    }
}

TEST(SaverLaunch, PathsWithBlanksAreQuoted) {
    EXPECT_EQ(SaverCommandLine("C:\\Windows\\Aurora.scr", "-p 4711"), "C:\\Windows\\Aurora.scr -p 4711");
    EXPECT_EQ(SaverCommandLine("C:\\My Savers\\Aurora.scr", "/s"), "\"C:\\My Savers\\Aurora.scr\" /s");
}

}  // namespace
