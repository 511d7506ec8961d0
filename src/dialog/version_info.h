// The program's version as its version resource states it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vl {

struct FileVersion {
    unsigned major = 0, minor = 0, revision = 0;
};

// Reads the fixed file information out of a raw version resource.
std::optional<FileVersion> ParseFileVersion(std::string_view resource);

// "Version 1.2.3"
std::string VersionLine(const FileVersion& v);

}  // namespace vl
