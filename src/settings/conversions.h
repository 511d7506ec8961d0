// Text to value conversions for the settings file. A value that does not
// convert yields nothing, and the caller falls back to that key's default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

// "true"/"false" in any letter case, or a number: 0 is false, any other true.
std::optional<bool> ParseBoolean(std::string_view text);

// A decimal number (blanks around it allowed, optional sign and fraction),
// rounded half to even, that fits the type.
std::optional<std::int32_t> ParseInt32(std::string_view text);
std::optional<std::int16_t> ParseInt16(std::string_view text);

struct Position {
    std::int32_t x;
    std::int32_t y;
};
// "x;y"; parts after the second ";" are ignored.
std::optional<Position> ParsePosition(std::string_view text);

std::string FormatPosition(Position p);

}  // namespace vl
