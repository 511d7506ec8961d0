// Arbitrary bytes read both ways: as UTF-8 (a settings value, a path) and as
// UTF-16 units (a window caption). Whatever comes in, what comes out is valid
// and survives a second round trip unchanged; a broken unit costs itself only.
#include "core/utf.h"
#include "fuzz_check.h"

namespace {

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string_view bytes = vlfuzz::AsText(data, size);

    const std::u16string units = vl::Utf16FromUtf8(bytes);
    const std::string clean = vl::Utf8FromUtf16(units);
    FUZZ_EXPECT(vl::Utf16FromUtf8(clean) == units);
    FUZZ_EXPECT(vl::Utf8FromUtf16(vl::Utf16FromUtf8(clean)) == clean);
    FUZZ_EXPECT(vl::TextOfFileBytes(vl::Utf16LeFileBytes(clean)) == clean);
    for (size_t n : {size_t{0}, size_t{1}, units.size() / 2, units.size()}) {
        const std::string prefix = vl::Utf8Prefix(clean, n);
        FUZZ_EXPECT(clean.compare(0, prefix.size(), prefix) == 0);
        FUZZ_EXPECT(vl::Utf16FromUtf8(prefix).size() <= n);
    }

    std::u16string caption(size / 2, u'\0');
    for (size_t i = 0; i < caption.size(); ++i)
        caption[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    const std::u16string back = vl::Utf16FromUtf8(vl::Utf8FromUtf16(caption));
    FUZZ_EXPECT(back.size() == caption.size());  // an unpaired surrogate becomes one U+FFFD
    for (size_t i = 0; i < caption.size() && back.size() == caption.size(); ++i)
        FUZZ_EXPECT(back[i] == caption[i] || (IsSurrogate(caption[i]) && back[i] == 0xFFFD));
    return 0;
}
