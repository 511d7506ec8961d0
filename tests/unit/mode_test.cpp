#include "startup/mode.h"

#include <gtest/gtest.h>

using vl::Mode;

TEST(CommandLine, ArgumentsFollowTheProgramNameUnchanged) {
    EXPECT_EQ(vl::ArgumentsOf("\"C:\\Program Files\\V\\Vigilumen.scr\" /S"), "/S");
    EXPECT_EQ(vl::ArgumentsOf("C:\\V\\Vigilumen.scr   -p 4711"), "-p 4711");
    EXPECT_EQ(vl::ArgumentsOf("Vigilumen.scr /c:1234 "), "/c:1234 ");
    EXPECT_EQ(vl::ArgumentsOf("Vigilumen.scr"), "");
    EXPECT_EQ(vl::ArgumentsOf("\"unterminated"), "");
}

TEST(CommandLine, SwitchIsFirstTwoCharactersLowerCased) {
    EXPECT_EQ(vl::ReduceSwitch(""), "/c");
    EXPECT_EQ(vl::ReduceSwitch("/S"), "/s");
    EXPECT_EQ(vl::ReduceSwitch("-P 4711"), "-p");
    EXPECT_EQ(vl::ReduceSwitch("/c:1234"), "/c");
    EXPECT_EQ(vl::ReduceSwitch("x"), "x");
}

TEST(CommandLine, SwitchSelectsMode) {
    EXPECT_EQ(vl::ModeOfSwitch("/c"), Mode::Configure);
    EXPECT_EQ(vl::ModeOfSwitch("-c"), Mode::Configure);
    EXPECT_EQ(vl::ModeOfSwitch("/s"), Mode::Run);
    EXPECT_EQ(vl::ModeOfSwitch("-s"), Mode::Run);
    EXPECT_EQ(vl::ModeOfSwitch("/p"), Mode::Preview);
    EXPECT_EQ(vl::ModeOfSwitch("-p"), Mode::Preview);
    EXPECT_EQ(vl::ModeOfSwitch("/x"), Mode::None);
    EXPECT_EQ(vl::ModeOfSwitch("s"), Mode::None);
    EXPECT_EQ(vl::ModeOfSwitch(vl::ReduceSwitch("/a")), Mode::None);
}
