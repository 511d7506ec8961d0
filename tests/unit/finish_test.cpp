#include "startup/finish.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vl;

namespace {

class RecordingLifecycle : public Lifecycle {
public:
    RuntimeState* state = nullptr;
    std::vector<std::string> calls;
    bool formOpen = true;
    void StopWatchdog() override { calls.push_back("watchdog off"); }
    void KillFormTimer(std::uintptr_t id) override { calls.push_back("kill " + std::to_string(id)); }
    void SaveApplicationListOnExit() override {
        calls.push_back(std::string("save list") + (state->SaverConfirmed ? " while confirmed" : ""));
    }
    void CloseIconCarrier() override { calls.push_back("close carrier"); }
    void CloseMainForm() override {
        calls.push_back("close form");
        if (formOpen) {
            formOpen = false;
            FormUnload(*state, *this);
        }
    }
};

class FinishTest : public ::testing::Test {
protected:
    RuntimeState state;
    RecordingLifecycle life;
    void SetUp() override {
        life.state = &state;
        state.OverlayTimer = 11;
        state.SaverConfirmed = true;
        state.SaverNames.emplace();
    }
};

TEST_F(FinishTest, RunModeStopsTimersSavesThenClosesInOrder) {
    state.IsSaverRunning = true;
    state.DisplayPropertiesTimer = 12;
    FinishAll(state, life);
    std::vector<std::string> want = {"watchdog off", "kill 11", "kill 12", "save list", "close carrier",
                                     "close form", "watchdog off", "kill 11", "kill 12"};
    EXPECT_EQ(life.calls, want);
    EXPECT_FALSE(state.SaverConfirmed);
    EXPECT_FALSE(state.SaverNames.has_value());
}

TEST_F(FinishTest, OtherModesNeitherSaveNorTouchTheCarrier) {
    FinishAll(state, life);
    std::vector<std::string> want = {"watchdog off", "kill 11", "close form", "watchdog off", "kill 11"};
    EXPECT_EQ(life.calls, want);
}

TEST_F(FinishTest, TimersThatWereNeverArmedAreLeftAlone) {
    state.OverlayTimer = 0;
    FinishAll(state, life);
    for (const std::string& c : life.calls) EXPECT_EQ(c.rfind("kill", 0), std::string::npos) << c;
}

TEST_F(FinishTest, SecondCallAfterTheFormIsGoneIsHarmless) {
    state.IsSaverRunning = true;
    FinishAll(state, life);
    life.calls.clear();
    FinishAll(state, life);
    std::vector<std::string> want = {"watchdog off", "kill 11", "save list", "close carrier", "close form"};
    EXPECT_EQ(life.calls, want);
}

}  // namespace
