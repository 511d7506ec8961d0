#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> g_closed;

struct FakeCloser {
    static int Invalid() { return -1; }
    void operator()(int h) const { g_closed.push_back(h); }
};
using FakeHandle = vl::UniqueHandle<int, FakeCloser>;

struct TaggedCloser {  // stateful, like a DC's window or a timer's window
    int owner = 0;
    static int Invalid() { return 0; }
    void operator()(int h) const { g_closed.push_back(owner * 100 + h); }
};
using TaggedHandle = vl::UniqueHandle<int, TaggedCloser>;

class UniqueHandleTest : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
};

TEST_F(UniqueHandleTest, ClosesExactlyOnceAtEndOfScope) {
    { FakeHandle h(7); }
    EXPECT_EQ(g_closed, std::vector<int>{7});
}

TEST_F(UniqueHandleTest, InvalidValueIsNeverClosed) {
    { FakeHandle h; FakeHandle g(-1); EXPECT_FALSE(h); EXPECT_FALSE(g); }
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueHandleTest, MoveTransfersOwnershipWithoutClosing) {
    {
        FakeHandle a(3);
        FakeHandle b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), 3);
        EXPECT_TRUE(g_closed.empty());
    }
    EXPECT_EQ(g_closed, std::vector<int>{3});
}

TEST_F(UniqueHandleTest, MoveAssignmentClosesTheOverwrittenHandle) {
    {
        FakeHandle a(1), b(2);
        b = std::move(a);
        EXPECT_EQ(g_closed, std::vector<int>{2});
        b = std::move(b);  // self-move keeps the handle
        EXPECT_EQ(b.get(), 1);
    }
    EXPECT_EQ(g_closed, (std::vector<int>{2, 1}));
}

TEST_F(UniqueHandleTest, ReleaseGivesUpOwnership) {
    { FakeHandle a(5); EXPECT_EQ(a.release(), 5); }
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueHandleTest, ResetClosesOldValueButNotTheSameValueTwice) {
    FakeHandle a(4);
    a.reset(4);
    EXPECT_TRUE(g_closed.empty());
    a.reset(6);
    EXPECT_EQ(g_closed, std::vector<int>{4});
    a.reset();
    EXPECT_EQ(g_closed, (std::vector<int>{4, 6}));
    EXPECT_FALSE(a);
}

TEST_F(UniqueHandleTest, StatefulCloserTravelsWithTheHandle) {
    {
        TaggedHandle a(1, TaggedCloser{9});
        TaggedHandle b(2, TaggedCloser{8});
        b = std::move(a);  // b's old handle closes with its own owner
        EXPECT_EQ(g_closed, std::vector<int>{802});
    }
    EXPECT_EQ(g_closed, (std::vector<int>{802, 901}));
}

}  // namespace
