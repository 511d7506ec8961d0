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

TEST_F(UniqueHandleTest, ClosesOnceAtEndOfScopeOrResetButNeverInvalidReleasedOrTheSameValue) {
    {
        FakeHandle kept(7), empty, invalid(-1), released(5);
        EXPECT_FALSE(empty || invalid);
        EXPECT_EQ(released.release(), 5);
    }
    EXPECT_EQ(g_closed, std::vector<int>{7});
    FakeHandle a(4);
    a.reset(4);  // the same value is not closed under itself
    EXPECT_EQ(g_closed, std::vector<int>{7});
    a.reset(6);
    a.reset();
    EXPECT_EQ(g_closed, (std::vector<int>{7, 4, 6}));
    EXPECT_FALSE(a);
}

TEST_F(UniqueHandleTest, MoveTransfersOwnershipAndCloserAndAssignmentClosesTheOverwrittenHandle) {
    {
        FakeHandle a(1), b(2);
        FakeHandle c(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_TRUE(g_closed.empty());
        b = std::move(c);
        EXPECT_EQ(g_closed, std::vector<int>{2});
        FakeHandle& same = b;  // through a reference, as a self-move happens in real code
        b = std::move(same);   // self-move keeps the handle
        EXPECT_EQ(b.get(), 1);
    }
    EXPECT_EQ(g_closed, (std::vector<int>{2, 1}));
    g_closed.clear();
    {
        TaggedHandle a(1, TaggedCloser{9});
        TaggedHandle b(2, TaggedCloser{8});
        b = std::move(a);  // a stateful closer travels with its handle: b's old one closes with its own owner
        EXPECT_EQ(g_closed, std::vector<int>{802});
    }
    EXPECT_EQ(g_closed, (std::vector<int>{802, 901}));
}

}  // namespace
