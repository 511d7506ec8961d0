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

TEST(CommandLine, FirstTwoCharactersLowerCasedSelectTheMode) {
    const std::pair<const char*, Mode> cases[] = {
        {"", Mode::Configure},  // no arguments: configure
        {"/c:1234", Mode::Configure}, {"-P 4711", Mode::Preview}, {"/S", Mode::Run},
        {"/a", Mode::None},           {"s", Mode::None},
    };
    for (const auto& [arguments, mode] : cases)
        EXPECT_EQ(vl::ModeOfSwitch(vl::ReduceSwitch(arguments)), mode) << arguments;
}
