#include "core/text.h"
#include "core/utf.h"

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

// Cyrillic, CJK and an emoji (a surrogate pair) each way, and broken input
// on either side becoming U+FFFD without taking its neighbours with it.
TEST(Utf, RoundTripsEveryScriptAndReplacesBrokenUnits) {
    const std::string mixed = "Zo\xC3\xAB \xD0\x96\xD1\x83\xD0\xBA \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x90\x9D;x";
    const std::u16string units = Utf16FromUtf8(mixed);
    EXPECT_EQ(units, u"Zo\u00EB \u0416\u0443\u043A \u65E5\u672C \U0001F41D;x");
    EXPECT_EQ(Utf8FromUtf16(units), mixed);
    EXPECT_EQ(Utf16FromUtf8(""), u"");
    EXPECT_EQ(Utf8FromUtf16(u""), "");

    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::u16string, std::string> broken16[] = {
        {{u'a', 0xD83D, u'b'}, "a" + fffd + "b"},  // high surrogate alone
        {{0xDC1D, u'b'}, fffd + "b"},             // low surrogate first
        {{u'a', 0xD83D}, "a" + fffd},             // cut at the end
    };
    for (const auto& [in, want] : broken16) EXPECT_EQ(Utf8FromUtf16(in), want);

    const std::pair<std::string, std::u16string> broken8[] = {
        {"a\xFF" "b", u"a\uFFFDb"},             // no lead byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},          // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xE6\x97", u"\uFFFD\uFFFD"},          // cut short
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
    };
    for (const auto& [in, want] : broken8) EXPECT_EQ(Utf16FromUtf8(in), want) << in;
}

TEST(Utf, FileBytesAreUtf16LeBehindTheirMarkAndReadBack) {
    const std::string text = "[applist]\r\napp0=\xD0\x96 \xF0\x9F\x90\x9D\r\n";
    const std::string bytes = Utf16LeFileBytes(text);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE[\0a\0", 6));
    EXPECT_EQ(bytes.size(), 2 + 2 * Utf16FromUtf8(text).size());
    EXPECT_EQ(TextOfFileBytes(bytes), text);
    EXPECT_EQ(TextOfFileBytes("\xEF\xBB\xBF[s]"), "[s]");  // a UTF-8 mark goes
    EXPECT_EQ(TextOfFileBytes("[s]\r\nk=v"), "[s]\r\nk=v");  // anything else stays as it is
    EXPECT_EQ(TextOfFileBytes(Utf16LeFileBytes("")), "");
}

TEST(Utf, PrefixesCountUtf16UnitsAndNeverSplitACharacter) {
    const std::string bee = "\xF0\x9F\x90\x9D", zhe = "\xD0\x96";
    EXPECT_EQ(Utf8Prefix(zhe + zhe + zhe, 2), zhe + zhe);  // two units, four bytes
    EXPECT_EQ(Utf8Prefix("a" + bee, 2), "a");              // the pair would be cut: it goes whole
    EXPECT_EQ(Utf8Prefix("a" + bee, 3), "a" + bee);
    EXPECT_EQ(Utf8Prefix("ab", 0), "");
}
