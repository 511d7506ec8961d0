#include "core/text.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace vl {

std::string Lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

double RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double rest = value - below;
    return rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0) ? below + 1 : below;
}

std::int32_t RoundHalfEvenInt32(double value) {
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) return 0;
    if (value <= kMin) return std::numeric_limits<std::int32_t>::min();
    if (value >= kMax) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(RoundHalfEven(value));
}

std::string HexCode(std::uint32_t code) {
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text.push_back("0123456789ABCDEF"[(code >> shift) & 15]);
    return text;
}

}  // namespace vl
