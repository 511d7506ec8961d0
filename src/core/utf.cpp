#include "core/utf.h"

namespace vl {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point starting at `at`, which moves past it. Overlong forms,
// surrogates and values past U+10FFFF are refused as Windows refuses them;
// a refused sequence costs one byte, so what follows it still reads.
char32_t NextCodePoint(std::string_view s, size_t& at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return ++at, lead;
    size_t length = 0;
    char32_t c = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) length = 2, c = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) length = 3, c = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) length = 4, c = lead & 0x07, least = 0x10000;
    if (length == 0 || at + length > s.size()) return ++at, kReplacement;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return ++at, kReplacement;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return ++at, kReplacement;
    at += length;
    return c;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, at);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::string Utf8Prefix(std::string_view utf8, size_t units) {
    std::u16string all = Utf16FromUtf8(utf8);
    if (all.size() <= units) return Utf8FromUtf16(all);
    if (units > 0 && all[units - 1] >= 0xD800 && all[units - 1] <= 0xDBFF) --units;  // the pair goes whole
    all.resize(units);
    return Utf8FromUtf16(all);
}

std::string Utf16LeFileBytes(std::string_view utf8) {
    const std::u16string units = Utf16FromUtf8(utf8);
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + 2 * units.size());
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string TextOfFileBytes(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    if (bytes.substr(0, 2) != "\xFF\xFE") return std::string(bytes);
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t at = 2; at + 1 < bytes.size(); at += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                       (static_cast<unsigned char>(bytes[at + 1]) << 8));
    return Utf8FromUtf16(units);
}

}  // namespace vl
