#include "host/saver_watch.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
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
        state.IsSaverRunning = true;
        state.ShellTaskId = 50;
        state.OverlayTimer = 2;
        host.processes = {{4, 0}, {50, 9}, {61, 50}, {70, 61}, {80, 50}};
        host.alive = {4, 50, 61, 70, 80};
    }
};

TEST(SaverListing, StartedProcessAndDirectChildrenInSnapshotOrder) {
    std::vector<ProcessEntry> snap = {{7, 50}, {50, 1}, {9, 7}, {8, 50}};
    EXPECT_EQ(SelectSaverProcesses(snap, 50), (std::vector<std::uint32_t>{7, 50, 8}));
    EXPECT_TRUE(SelectSaverProcesses(snap, 51).empty());
    EXPECT_TRUE(SelectSaverProcesses({{4, 0}, {0, 0}}, 0).empty());  // nothing started
    // A process that is its own parent counts twice, as each test is made independently.
    EXPECT_EQ(SelectSaverProcesses({{5, 5}}, 5), (std::vector<std::uint32_t>{5, 5}));
}

TEST(SaverListing, LogTextHasExactLinesWithCrLf) {
    EXPECT_EQ(ListingLogText(50, {50, 61}), "Shell task id: 50\r\nFound processes: 50\r\nFound processes: 61\r\n");
    EXPECT_EQ(ListingLogText(0, {}), "Shell task id: 0\r\n");
}

TEST_F(SaverWatchTest, ListingFillsStateLogsAndForcesBlinking) {
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.SaverProcessIds, (std::vector<std::uint32_t>{50, 61, 80}));
    EXPECT_EQ(state.SaverProcessCount, 3);
    EXPECT_TRUE(state.BlinkIcons);
    EXPECT_EQ(host.log, ListingLogText(50, {50, 61, 80}));
    EXPECT_TRUE(IsSaverProcess(state, 80));
    EXPECT_FALSE(IsSaverProcess(state, 70));  // a grandchild is not the saver
}

TEST_F(SaverWatchTest, ProcessOlderThanTheSaverIsNoChildThoughItsParentIdMatches) {
    host.olderThanSaver = {61};  // its parent ended before the saver got the same id
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.SaverProcessIds, (std::vector<std::uint32_t>{50, 80}));
    EXPECT_FALSE(IsSaverProcess(state, 61));
}

TEST_F(SaverWatchTest, OneProcessLeavesBlinkingAlone) {
    host.processes = {{50, 9}};
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.SaverProcessCount, 1);
    EXPECT_FALSE(state.BlinkIcons);
}

TEST_F(SaverWatchTest, UnwritableLogOrFailedSnapshotIsNoError) {
    host.logWritable = false;
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.SaverProcessCount, 3);
    host.snapshotFails = true;
    FindSaverProcesses(state, host, 50);
    EXPECT_EQ(state.SaverProcessCount, 0);
    EXPECT_FALSE(IsSaverProcess(state, 0));
}

TEST_F(SaverWatchTest, WatchdogTickDoesNothingWhileTheFormIsVisible) {
    host.formVisible = true;
    Timer1_Timer(state, host);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(state.SaverProcessCount, 0);
}

TEST_F(SaverWatchTest, OwnedScreenConfirmsAndPolls) {
    host.owner = 61;
    Timer1_Timer(state, host);
    EXPECT_TRUE(state.SaverConfirmed);
    EXPECT_EQ(host.calls, std::vector<std::string>{"check all"});
    EXPECT_EQ(host.log, ListingLogText(50, {50, 61, 80}));  // listed and logged once
}

TEST_F(SaverWatchTest, FailedTestShutsDownInOrder) {
    host.owner = 61;
    Timer1_Timer(state, host);
    host.calls.clear();
    state.DisplayPropertiesTimer = 3;
    host.owner = 4;  // another program's window
    Timer1_Timer(state, host);
    EXPECT_FALSE(state.SaverConfirmed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "kill 3", "finish"}));
}

TEST_F(SaverWatchTest, GraceKeepsASlowSaverUntilItShowsUp) {
    host.processes = {{50, 9}};
    host.owner = 4;
    host.now = 500;  // the first overlay tick, well inside the grace time
    EXPECT_FALSE(OverlayTickOwnership(state, host));
    Timer1_Timer(state, host);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(state.SaverConfirmed);

    host.processes.push_back({66, 50});  // a child started late is found
    host.alive.insert(66);
    host.owner = 66;
    host.now = 4000;
    EXPECT_TRUE(OverlayTickOwnership(state, host));
    EXPECT_TRUE(state.SaverSeenOwning);
    EXPECT_EQ(state.SaverProcessCount, 2);
    EXPECT_EQ(host.log, ListingLogText(50, {50}) + ListingLogText(50, {50, 66}));  // logged when it changed
}

TEST_F(SaverWatchTest, GraceEndsWhenEveryProcessHasEnded) {
    host.processes = {{50, 9}, {61, 50}};
    host.owner = 4;
    host.now = 100;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Pending);
    host.alive.erase(50);
    EXPECT_EQ(TestOwnership(state, host), Ownership::Pending);  // its child still lives
    host.alive.erase(61);
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);
}

TEST_F(SaverWatchTest, GraceEndsAfterTenSeconds) {
    host.owner = 4;
    state.SaverLaunchMs = 1000;
    host.now = 1000 + kSaverGraceMs - 1;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Pending);
    host.now = 1000 + kSaverGraceMs;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);
}

TEST_F(SaverWatchTest, OnceSeenTheRuleHoldsWithoutGraceOrRelisting) {
    host.owner = 50;
    EXPECT_EQ(TestOwnership(state, host), Ownership::Owned);
    host.processes.push_back({99, 50});
    host.owner = 99;  // a child started after the saver was seen is not the saver
    EXPECT_EQ(TestOwnership(state, host), Ownership::Lost);
}

TEST_F(SaverWatchTest, SaverThatNeverStartedEndsAtTheFirstTest) {
    state.ShellTaskId = 0;
    host.owner = 4;
    EXPECT_FALSE(OverlayTickOwnership(state, host));
    EXPECT_EQ(host.calls, std::vector<std::string>{"finish"});
}

TEST_F(SaverWatchTest, OverlayTickOutsideRunModeStopsItself) {
    state.IsSaverRunning = false;
    EXPECT_FALSE(OverlayTickOwnership(state, host));
    EXPECT_EQ(host.calls, std::vector<std::string>{"kill 2"});
}

TEST_F(SaverWatchTest, ProcessEndTestsAtOnceAndAChildMayStillOwnTheScreen) {
    host.owner = 61;
    Timer1_Timer(state, host);
    host.calls.clear();
    host.alive.erase(50);
    OnSaverProcessEnded(state, host);
    EXPECT_TRUE(host.calls.empty());
    host.owner = 0;
    OnSaverProcessEnded(state, host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"watchdog off", "kill 2", "finish"}));
}

TEST_F(SaverWatchTest, DisplayPropertiesWatch) {
    state.IsConfigMode = true;
    state.DisplayPropertiesTimer = 3;
    state.DisplayPropertiesWindow = 0x77;
    DisplayPropertiesTimerProc(state, host);
    EXPECT_TRUE(host.calls.empty());
    state.DisplayPropertiesWindow = 0x78;  // closed
    DisplayPropertiesTimerProc(state, host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"kill 3", "finish"}));
    host.calls.clear();
    state.IsConfigMode = false;
    DisplayPropertiesTimerProc(state, host);
    EXPECT_EQ(host.calls, std::vector<std::string>{"kill 3"});
}

TEST(SaverLaunch, CommandLineAndFolder) {
    EXPECT_EQ(SaverCommandLine("C:\\Windows\\Aurora.scr", "/S"), "C:\\Windows\\Aurora.scr /S");
    EXPECT_EQ(SaverCommandLine("C:\\Windows\\Aurora.scr", "-p 4711"), "C:\\Windows\\Aurora.scr -p 4711");
    EXPECT_EQ(SaverCommandLine("C:\\My Savers\\Aurora.scr", "/s"), "\"C:\\My Savers\\Aurora.scr\" /s");
    EXPECT_EQ(SaverCommandLine("Aurora.scr", ""), "Aurora.scr ");
    EXPECT_EQ(FolderOf("C:\\My Savers\\Aurora.scr"), "C:\\My Savers\\");
    EXPECT_EQ(FolderOf("Aurora.scr"), "");
}

}  // namespace
