#include "settings/icon_file.h"

#include <gtest/gtest.h>

#include <map>

using vl::IcoFileFromGroup;

namespace {

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Header(unsigned type, unsigned count) { return Le16(0) + Le16(type) + Le16(count); }
// Size x size, 16 colours, 1 plane, 4 bits: the fields both directories share.
std::string Format(unsigned size) { return std::string{char(size), char(size), 16, 0} + Le16(1) + Le16(4); }

TEST(IconFile, EveryImageOfTheGroupLandsInTheFileAtItsOffset) {
    // The directory's own size for image 1 is wrong: the file takes the real one.
    const std::string group = Header(1, 2) + Format(32) + Le32(700) + Le16(1) + Format(16) + Le32(296) + Le16(2);
    const std::map<std::uint16_t, std::string> images = {{1, std::string(744, 'A')}, {2, std::string(296, 'B')}};
    const auto ico = IcoFileFromGroup(group, [&](std::uint16_t id) -> std::optional<std::string> {
        const auto it = images.find(id);
        return it == images.end() ? std::nullopt : std::optional(it->second);
    });
    // The first image right after the 38-byte directory, the second after the first.
    EXPECT_EQ(ico, Header(1, 2) + Format(32) + Le32(744) + Le32(38) + Format(16) + Le32(296) + Le32(38 + 744) +
                       images.at(1) + images.at(2));
}

TEST(IconFile, DamagedGroupOrMissingImageGivesNothing) {
    const auto none = [](std::uint16_t) -> std::optional<std::string> { return std::nullopt; };
    const auto some = [](std::uint16_t) -> std::optional<std::string> { return std::string("x"); };
    const std::string entry = Format(32) + Le32(1) + Le16(1);
    EXPECT_FALSE(IcoFileFromGroup("", some));
    EXPECT_FALSE(IcoFileFromGroup(Header(1, 0), some));          // no images
    EXPECT_FALSE(IcoFileFromGroup(Header(1, 2) + entry, some));  // cut short
    EXPECT_FALSE(IcoFileFromGroup(Header(2, 1) + entry, some));  // a cursor
    EXPECT_FALSE(IcoFileFromGroup(Header(1, 1) + entry, none));
}

}  // namespace
