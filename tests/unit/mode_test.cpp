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
        {"/t C:\\x.ini", Mode::Try},   {"-T", Mode::Try},
    };
    for (const auto& [arguments, mode] : cases)
        EXPECT_EQ(vl::ModeOfSwitch(vl::ReduceSwitch(arguments)), mode) << arguments;
}

TEST(CommandLine, TheSettingsWindowComesAfterAColonOrABlank) {
    const std::pair<const char*, std::optional<std::uintptr_t>> cases[] = {
        {"/c:1234", 1234},     {"/C 1234", 1234},   {"-c:66050 ", 66050}, {"/c   7", 7},
        {"/c", std::nullopt},  {"", std::nullopt},  {"/c:", std::nullopt}, {"/c:0", std::nullopt},
        {"/c:12ab", std::nullopt}, {"/c:-5", std::nullopt}, {"/c1234", std::nullopt}, {"/c:1 2", std::nullopt},
        {"/p 1234", std::nullopt}, {"/s:1234", std::nullopt},
        {"/c:99999999999999999999999", std::nullopt},  // past any handle
    };
    for (const auto& [arguments, window] : cases) EXPECT_EQ(vl::SettingsWindowOf(arguments), window) << arguments;
}

TEST(CommandLine, ATryNamesTheFileAfterItsSwitch) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"/t C:\\T\\vlt1.tmp", "C:\\T\\vlt1.tmp"},
        {"-T   \"C:\\Documents and Settings\\t 1.tmp\"  ", "C:\\Documents and Settings\\t 1.tmp"},
        {"/tZ:\\a.ini", "Z:\\a.ini"},
        {"/t", std::nullopt},  {"/t   ", std::nullopt}, {"/t \"\"", std::nullopt},
        {"/s C:\\x.ini", std::nullopt}, {"/c", std::nullopt},
    };
    for (const auto& [arguments, file] : cases) EXPECT_EQ(vl::TryFileOf(arguments), file) << arguments;
}
