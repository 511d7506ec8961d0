#include "dialog/version_info.h"

#include <cstdint>

namespace vl {
namespace {

std::uint32_t U32(std::string_view s, size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;

}  // namespace

std::optional<FileVersion> ParseFileVersion(std::string_view r) {
    // The fixed information starts with its signature on a 32-bit boundary;
    // the file version follows the structure version.
    for (size_t at = 0; at + 16 <= r.size(); at += 4) {
        if (U32(r, at) != kFixedInfoSignature) continue;
        const std::uint32_t ms = U32(r, at + 8), ls = U32(r, at + 12);
        return FileVersion{ms >> 16, ms & 0xFFFF, ls >> 16};
    }
    return std::nullopt;
}

std::string VersionLine(const FileVersion& v) {
    return "Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
}

}  // namespace vl
