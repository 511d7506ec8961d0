#include "settings/watched_app.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(WatchedAppRecord, BuiltInMailRecordHasTenFieldsLastTwoEmpty) {
    std::string r = BuiltInMailRecord("C:\\V\\QVX_data\\mail.ico");
    EXPECT_EQ(r, "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\V\\QVX_data\\mail.ico;;");
    auto f = SplitRecord(r);
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[kFieldId], "-1");
    EXPECT_EQ(f[kFieldEnabled], "0");
    EXPECT_EQ(f[kFieldMethodId], "2");
    EXPECT_EQ(f[kFieldText], "");
    EXPECT_EQ(f[kFieldDate], "");
    EXPECT_TRUE(IsCompleteRecord(r));
}

TEST(WatchedAppRecord, SplitUsesEverySemicolonAndJoinKeepsExactlyTen) {
    EXPECT_EQ(SplitRecord("").size(), 1u);
    EXPECT_EQ(SplitRecord("a;;b").size(), 3u);
    auto f = SplitRecord("0;1;1;n;p;0;m;i;t;d;extra;more");
    EXPECT_EQ(f.size(), 12u);
    EXPECT_EQ(JoinRecord(f), "0;1;1;n;p;0;m;i;t;d");
    EXPECT_EQ(JoinRecord({"a", "b"}), "a;b;;;;;;;;");
    EXPECT_FALSE(IsCompleteRecord("1;1;1;short"));
}

TEST(WatchedAppRecord, RowCarriesTheRecordInTheListLayout) {
    AppListRow row = RowOfRecord("77;1;1;Editor;C:\\f.txt;0;Watch for file update;f.ico;C:\\f.txt;1/2/2026", 1);
    EXPECT_EQ(row.key, "app1");
    EXPECT_EQ(row.text, "Editor");
    EXPECT_TRUE(row.checked);
    std::array<std::string, 7> want = {"Watch for file update", "0", "f.ico", "C:\\f.txt", "1", "1/2/2026", "77"};
    EXPECT_EQ(row.subItems, want);
}

TEST(WatchedAppRecord, OnlyExactlyOneTicksTheRow) {
    EXPECT_FALSE(RowOfRecord("1;1;0;n;;1;Wait for window;;x;", 0).checked);
    EXPECT_FALSE(RowOfRecord("1;1; 1;n;;1;Wait for window;;x;", 0).checked);
    EXPECT_FALSE(RowOfRecord("1;1;-1;n;;1;Wait for window;;x;", 0).checked);
}

TEST(WatchedAppRecord, DamagedRecordStillListsWithEmptyColumns) {
    AppListRow row = RowOfRecord("5;1;1;Half", 3);
    EXPECT_EQ(row.key, "app3");
    EXPECT_EQ(row.text, "Half");
    EXPECT_EQ(row.subItems[6], "5");
    EXPECT_EQ(row.subItems[0], "");
}

TEST(WatchedAppRecord, MethodCaptions) {
    EXPECT_EQ(MethodCaption(0), "Watch for file update");
    EXPECT_EQ(MethodCaption(1), "Wait for window");
    EXPECT_EQ(MethodCaption(2), "Internal");
    EXPECT_EQ(MethodCaption(3), "");
}
