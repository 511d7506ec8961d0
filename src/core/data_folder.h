// The data folder beside the program, and the files the program keeps in it.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// programFolder has no trailing "\".
inline std::string DataFolder(std::string_view programFolder) { return std::string(programFolder) + "\\QVX_data"; }

inline std::string SettingsFilePath(std::string_view programFolder) {
    return DataFolder(programFolder) + "\\Lumiwake.ini";
}

// A bare file name (no "\") names a file in the data folder; a path stays as it is.
inline std::string InDataFolder(std::string_view programFolder, std::string_view path) {
    if (path.find('\\') != std::string_view::npos) return std::string(path);
    return DataFolder(programFolder) + "\\" + std::string(path);
}

}  // namespace vl
