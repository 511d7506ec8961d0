// Number, boolean and position text of arbitrary bytes. A decimal the rules
// accept is compared with the C library's reading of the same text.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "fuzz_check.h"
#include "settings/conversions.h"

namespace {

// The accepted form: blanks, [sign] digits [. digits], blanks, at least one
// digit. Returns the C library's value of it, or nothing for another form.
std::optional<double> Reference(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            digits = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (!digits) return std::nullopt;
    return std::strtod(std::string(text).c_str(), nullptr);
}

template <typename T>
void CheckInteger(std::optional<T> parsed, std::optional<double> reference) {
    FUZZ_EXPECT(parsed.has_value() <= reference.has_value());
    if (!reference) return;
    const double r = *reference;
    // Within the type the number is the nearest one, either way at a half.
    if (std::fabs(r) < std::numeric_limits<T>::max() - 1.0) {
        FUZZ_EXPECT(parsed.has_value());
        FUZZ_EXPECT(std::fabs(*parsed - r) <= 0.5 + 1e-9 * std::fabs(r));
    }
    // Beyond the type by more than a half: no number (the type reaches one further below zero).
    if (r > std::numeric_limits<T>::max() + 1.0 || r < std::numeric_limits<T>::min() - 1.0)
        FUZZ_EXPECT(!parsed.has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string_view text = vlfuzz::AsText(data, size);
    const std::optional<double> reference = Reference(text);

    const std::optional<std::int32_t> i32 = vl::ParseInt32(text);
    const std::optional<std::int16_t> i16 = vl::ParseInt16(text);
    CheckInteger(i32, reference);
    CheckInteger(i16, reference);
    if (i16) FUZZ_EXPECT(i32 == std::optional<std::int32_t>(*i16));
    if (i32) FUZZ_EXPECT(vl::ParseInt32(std::to_string(*i32)) == i32);

    // A number is false only when every digit is 0, however small it is.
    const std::optional<bool> flag = vl::ParseBoolean(text);
    if (reference) FUZZ_EXPECT(flag == (text.find_first_of("123456789") != std::string_view::npos));
    if (i32 && *i32 != 0) FUZZ_EXPECT(flag == true);

    const std::optional<vl::Position> p = vl::ParsePosition(text);
    if (p) {
        const std::optional<vl::Position> back = vl::ParsePosition(vl::FormatPosition(*p));
        FUZZ_EXPECT(back && back->x == p->x && back->y == p->y);
        FUZZ_EXPECT(vl::ParseInt32(text.substr(0, text.find(';'))) == p->x);
    }
    return 0;
}
