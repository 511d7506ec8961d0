#include "core/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>

using namespace vl;

namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

}  // namespace

TEST(Rounding, HalvesToEvenOthersToNearestAndSaturates) {
    const std::pair<double, std::int32_t> cases[] = {
        {0.5, 0},        {1.5, 2},
        {2.5, 2},        {3.5, 4},
        {-0.5, 0},       {-1.5, -2},
        {-2.5, -2},      {2.4999, 2},
        {2.5001, 3},     {-2.6, -3},
        {7, 7},          {1e12, kMax32},
        {-1e12, kMin32}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [value, want] : cases) EXPECT_EQ(RoundHalfEvenInt32(value), want) << value;
}
