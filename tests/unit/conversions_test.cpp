#include "settings/conversions.h"

#include <gtest/gtest.h>

using vl::ParseBoolean;
using vl::ParseInt16;
using vl::ParseInt32;
using vl::ParsePosition;

TEST(BooleanText, WordsInAnyCaseAndNumbersOnly) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"1", true},           {"TRUE", true},       {"-1", true},        {" 2 ", true},
        {"0.5", true},         {"0", false},         {"FaLsE", false},    {"", std::nullopt},
        {"yes", std::nullopt}, {"1x", std::nullopt}, {"-", std::nullopt}, {".", std::nullopt},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(ParseBoolean(text), want) << '"' << text << '"';
    // Far below the smallest double, yet not 0.
    EXPECT_EQ(ParseBoolean("0." + std::string(400, '0') + "1"), true);
    EXPECT_EQ(ParseBoolean("-0." + std::string(400, '0')), false);
}

TEST(IntegerText, RoundsHalvesToEvenAndChecksRange) {
    EXPECT_EQ(ParseInt32(" -12 "), -12);
    EXPECT_EQ(ParseInt32("2.5"), 2);
    EXPECT_EQ(ParseInt32("3.5"), 4);
    EXPECT_EQ(ParseInt32("-2.5"), -2);
    EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
    EXPECT_FALSE(ParseInt32("2147483648"));
    EXPECT_FALSE(ParseInt32("99999999999999999999999"));
    EXPECT_EQ(ParseInt16("32767"), 32767);
    EXPECT_FALSE(ParseInt16("32768"));
    EXPECT_FALSE(ParseInt16(""));
    EXPECT_FALSE(ParseInt16("1e3"));
}

TEST(PositionText, TwoNumbersSeparatedBySemicolon) {
    const auto xy = [](const char* text) {
        const auto p = ParsePosition(text);
        return p ? std::pair{p->x, p->y} : std::pair{-1, -1};
    };
    EXPECT_EQ(xy("48;295"), std::pair(48, 295));
    EXPECT_EQ(xy("10;20;30"), std::pair(10, 20));
    for (const char* bad : {"48", "a;b", "10;", ";10"}) EXPECT_FALSE(ParsePosition(bad)) << bad;
    EXPECT_EQ(vl::FormatPosition({-5, 7}), "-5;7");
}
