#include "settings/icon_file.h"

#include <vector>

namespace vl {
namespace {

std::uint16_t U16(std::string_view s, size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

constexpr size_t kDirHeader = 6;
constexpr size_t kGroupEntry = 14;  // the resource's entry ends in a 16-bit image id
constexpr size_t kFileEntry = 16;   // the file's entry ends in a 32-bit offset

}  // namespace

std::optional<std::string> IcoFileFromGroup(std::string_view group,
                                            const std::function<std::optional<std::string>(std::uint16_t)>& imageById) {
    if (group.size() < kDirHeader || U16(group, 0) != 0 || U16(group, 2) != 1) return std::nullopt;
    const size_t count = U16(group, 4);
    if (count == 0 || group.size() < kDirHeader + count * kGroupEntry) return std::nullopt;

    std::vector<std::string> images;
    for (size_t i = 0; i < count; ++i) {
        std::optional<std::string> image = imageById(U16(group, kDirHeader + i * kGroupEntry + 12));
        if (!image || image->empty()) return std::nullopt;
        images.push_back(std::move(*image));
    }

    std::string out(group.substr(0, kDirHeader));
    std::uint32_t offset = static_cast<std::uint32_t>(kDirHeader + count * kFileEntry);
    for (size_t i = 0; i < count; ++i) {
        std::string_view entry = group.substr(kDirHeader + i * kGroupEntry, 8);  // size, colours, planes, bits
        out += entry;
        PutU32(out, static_cast<std::uint32_t>(images[i].size()));  // the real size, whatever the directory says
        PutU32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::string& image : images) out += image;
    return out;
}

}  // namespace vl
