#include "startup/finish.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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
        calls.push_back(std::string("save list") + (state->host.SaverConfirmed ? " while confirmed" : ""));
    }
    void CloseIconCarrier() override { calls.push_back("close carrier"); }
    void CloseMainForm() override {
        calls.push_back("close form");
        if (std::exchange(formOpen, false)) FormUnload(*state, *this);
    }
};

class FinishTest : public ::testing::Test {
protected:
    RuntimeState state;
    RecordingLifecycle life;
    void SetUp() override {
        life.state = &state;
        state.host.OverlayTimer = 11;
        state.host.SaverConfirmed = true;
        state.host.SaverNames.emplace();
    }
};

TEST_F(FinishTest, RunModeStopsTimersSavesThenClosesInOrderAndASecondCallIsHarmless) {
    state.host.IsSaverRunning = true;
    state.host.DisplayPropertiesTimer = 12;
    FinishAll(state, life);
    EXPECT_EQ(life.calls, (std::vector<std::string>{"watchdog off", "kill 11", "kill 12", "save list", "close carrier",
                                                    "close form", "watchdog off", "kill 11", "kill 12"}));
    EXPECT_FALSE(state.host.SaverConfirmed);
    EXPECT_FALSE(state.host.SaverNames.has_value());
    life.calls.clear();
    FinishAll(state, life);  // the form is gone: nothing unloads twice
    EXPECT_EQ(life.calls, (std::vector<std::string>{"watchdog off", "kill 11", "kill 12", "save list", "close carrier",
                                                    "close form"}));
}

TEST_F(FinishTest, OtherModesNeitherSaveNorTouchTheCarrierNorKillUnarmedTimers) {
    state.host.OverlayTimer = 0;
    FinishAll(state, life);
    EXPECT_EQ(life.calls, (std::vector<std::string>{"watchdog off", "close form", "watchdog off"}));
}

}  // namespace
