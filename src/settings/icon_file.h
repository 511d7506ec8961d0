// Turns an icon resource (its group directory and the images it names) into
// the bytes of an .ico file holding every image.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

// imageById returns the bytes of the RT_ICON resource with that id, or
// nothing. Fails on a damaged directory or a missing image.
std::optional<std::string> IcoFileFromGroup(std::string_view groupDirectory,
                                            const std::function<std::optional<std::string>(std::uint16_t)>& imageById);

}  // namespace vl
