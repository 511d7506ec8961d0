#include "settings/conversions.h"

#include <cctype>
#include <limits>

#include "core/text.h"

namespace vl {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Parses [sign] digits [. digits] exactly; no exponent, no thousands marks.
std::optional<double> ParseDecimal(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.empty()) return std::nullopt;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    double value = 0;
    bool digits = false;
    size_t i = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        value = value * 10 + (s[i] - '0');
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            value += (s[i] - '0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    if (!digits || i != s.size()) return std::nullopt;
    return negative ? -value : value;
}

template <typename T>
std::optional<T> ParseInteger(std::string_view text) {
    std::optional<double> d = ParseDecimal(text);
    if (!d) return std::nullopt;
    const double r = RoundHalfEven(*d);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(r);
}

}  // namespace

std::optional<bool> ParseBoolean(std::string_view text) {
    std::string_view s = Trim(text);
    if (EqualsIgnoreCase(s, "true")) return true;
    if (EqualsIgnoreCase(s, "false")) return false;
    if (!ParseDecimal(s)) return std::nullopt;
    // Decided by the digits: a number too small for a double is still not 0.
    return s.find_first_of("123456789") != std::string_view::npos;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) { return ParseInteger<std::int32_t>(text); }
std::optional<std::int16_t> ParseInt16(std::string_view text) { return ParseInteger<std::int16_t>(text); }

std::optional<Position> ParsePosition(std::string_view text) {
    size_t semi = text.find(';');
    if (semi == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(semi + 1);
    std::optional<std::int32_t> x = ParseInt32(text.substr(0, semi));
    std::optional<std::int32_t> y = ParseInt32(rest.substr(0, rest.find(';')));
    if (!x || !y) return std::nullopt;
    return Position{*x, *y};
}

std::string FormatPosition(Position p) { return std::to_string(p.x) + ";" + std::to_string(p.y); }

}  // namespace vl
