#include "settings/conversions.h"

#include <gtest/gtest.h>

using vl::ParseBoolean;
using vl::ParseInt16;
using vl::ParseInt32;
using vl::ParsePosition;

TEST(BooleanText, WordsInAnyCaseAndNumbers) {
    EXPECT_EQ(ParseBoolean("1"), true);
    EXPECT_EQ(ParseBoolean("True"), true);
    EXPECT_EQ(ParseBoolean("TRUE"), true);
    EXPECT_EQ(ParseBoolean("-1"), true);
    EXPECT_EQ(ParseBoolean(" 2 "), true);
    EXPECT_EQ(ParseBoolean("0.5"), true);
    EXPECT_EQ(ParseBoolean("0"), false);
    EXPECT_EQ(ParseBoolean("false"), false);
    EXPECT_EQ(ParseBoolean("FaLsE"), false);
}

TEST(BooleanText, AnythingElseDoesNotConvert) {
    EXPECT_FALSE(ParseBoolean(""));
    EXPECT_FALSE(ParseBoolean("yes"));
    EXPECT_FALSE(ParseBoolean("1x"));
    EXPECT_FALSE(ParseBoolean("-"));
    EXPECT_FALSE(ParseBoolean("."));
}

TEST(IntegerText, RoundsHalvesToEvenAndChecksRange) {
    EXPECT_EQ(ParseInt32("295"), 295);
    EXPECT_EQ(ParseInt32(" -12 "), -12);
    EXPECT_EQ(ParseInt32("2.5"), 2);
    EXPECT_EQ(ParseInt32("3.5"), 4);
    EXPECT_EQ(ParseInt32("-2.5"), -2);
    EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
    EXPECT_FALSE(ParseInt32("2147483648"));
    EXPECT_FALSE(ParseInt32("99999999999999999999999"));
    EXPECT_EQ(ParseInt16("32767"), 32767);
    EXPECT_FALSE(ParseInt16("32768"));
    EXPECT_FALSE(ParseInt16("two"));
    EXPECT_FALSE(ParseInt16(""));
    EXPECT_FALSE(ParseInt16("1e3"));
}

TEST(PositionText, TwoNumbersSeparatedBySemicolon) {
    auto p = ParsePosition("48;295");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->x, 48);
    EXPECT_EQ(p->y, 295);
    auto q = ParsePosition("10;20;30");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->x, 10);
    EXPECT_EQ(q->y, 20);
    EXPECT_FALSE(ParsePosition("48"));
    EXPECT_FALSE(ParsePosition("a;b"));
    EXPECT_FALSE(ParsePosition("10;"));
    EXPECT_FALSE(ParsePosition(";10"));
    EXPECT_EQ(vl::FormatPosition({-5, 7}), "-5;7");
}
