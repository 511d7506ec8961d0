#include "settings/icon_file.h"

#include <gtest/gtest.h>

#include <map>

using vl::IcoFileFromGroup;

namespace {

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A group directory entry: 32x32 16 colours, or 16x16, naming image `id`.
std::string GroupEntry(unsigned size, unsigned colours, unsigned bits, unsigned bytes, unsigned id) {
    std::string e;
    e += static_cast<char>(size);
    e += static_cast<char>(size);
    e += static_cast<char>(colours);
    e += '\0';
    return e + Le16(1) + Le16(bits) + Le32(bytes) + Le16(id);
}

TEST(IconFile, EveryImageOfTheGroupLandsInTheFileAtItsOffset) {
    std::string group = Le16(0) + Le16(1) + Le16(2) + GroupEntry(32, 16, 4, 744, 1) + GroupEntry(16, 16, 4, 296, 2);
    std::map<std::uint16_t, std::string> images = {{1, std::string(744, 'A')}, {2, std::string(296, 'B')}};
    auto ico = IcoFileFromGroup(group, [&](std::uint16_t id) -> std::optional<std::string> {
        auto it = images.find(id);
        if (it == images.end()) return std::nullopt;
        return it->second;
    });
    ASSERT_TRUE(ico);
    ASSERT_EQ(ico->size(), 6u + 2 * 16 + 744 + 296);
    EXPECT_EQ(ico->substr(0, 6), Le16(0) + Le16(1) + Le16(2));
    EXPECT_EQ(ico->substr(6, 8), group.substr(6, 8));           // 32x32, 16 colours, 1 plane, 4 bits
    EXPECT_EQ(ico->substr(14, 4), Le32(744));
    EXPECT_EQ(ico->substr(18, 4), Le32(38));                    // first image right after the directory
    EXPECT_EQ(ico->substr(22 + 12, 4), Le32(38 + 744));         // second image after the first
    EXPECT_EQ(ico->substr(38, 744), std::string(744, 'A'));
    EXPECT_EQ(ico->substr(38 + 744), std::string(296, 'B'));
}

TEST(IconFile, DamagedGroupOrMissingImageGivesNothing) {
    auto none = [](std::uint16_t) -> std::optional<std::string> { return std::nullopt; };
    auto some = [](std::uint16_t) -> std::optional<std::string> { return std::string("x"); };
    EXPECT_FALSE(IcoFileFromGroup("", some));
    EXPECT_FALSE(IcoFileFromGroup(Le16(0) + Le16(1) + Le16(0), some));          // no images
    EXPECT_FALSE(IcoFileFromGroup(Le16(0) + Le16(1) + Le16(2) + GroupEntry(32, 16, 4, 1, 1), some));  // cut short
    EXPECT_FALSE(IcoFileFromGroup(Le16(0) + Le16(2) + Le16(1) + GroupEntry(32, 16, 4, 1, 1), some));  // cursor
    EXPECT_FALSE(IcoFileFromGroup(Le16(0) + Le16(1) + Le16(1) + GroupEntry(32, 16, 4, 1, 1), none));
}

}  // namespace
