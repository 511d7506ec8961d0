#include "settings/watched_app.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(WatchedAppRecord, SplitUsesEverySemicolonAndJoinKeepsExactlyTen) {
    EXPECT_EQ(SplitRecord("").size(), 1u);
    EXPECT_EQ(SplitRecord("a;;b").size(), 3u);
    const auto f = SplitRecord("0;1;1;n;p;0;m;i;t;d;extra;more");
    EXPECT_EQ(f.size(), 12u);
    EXPECT_EQ(JoinRecord(f), "0;1;1;n;p;0;m;i;t;d");
    EXPECT_EQ(JoinRecord({"a", "b"}), "a;b;;;;;;;;");
    EXPECT_FALSE(IsCompleteRecord("1;1;1;short"));
    EXPECT_TRUE(IsCompleteRecord("0;1;1;n;p;0;m;i;t;"));
}

TEST(WatchedAppRecord, OnlyExactlyOneTicksTheRowAndADamagedRecordStillLists) {
    EXPECT_TRUE(RowOfRecord("1;1;1;n;;1;Wait for window;;x;", 0).checked);
    for (const char* ticked : {"0", " 1", "-1"})
        EXPECT_FALSE(RowOfRecord(std::string("1;1;") + ticked + ";n;;1;Wait for window;;x;", 0).checked) << ticked;
    const AppListRow row = RowOfRecord("5;1;1;Half", 3);
    EXPECT_EQ(row.key, "app3");
    EXPECT_EQ(row.text, "Half");
    EXPECT_EQ(row.subItems[6], "5");
    EXPECT_EQ(row.subItems[0], "");
}
