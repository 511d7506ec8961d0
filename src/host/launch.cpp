#include "host/launch.h"

namespace vl {

std::string SaverCommandLine(std::string_view saverPath, std::string_view arguments) {
    const bool quote = saverPath.find(' ') != std::string_view::npos && saverPath.front() != '"';
    std::string line;
    line.reserve(saverPath.size() + arguments.size() + 3);
    if (quote) line.push_back('"');
    line.append(saverPath);
    if (quote) line.push_back('"');
    line.push_back(' ');
    line.append(arguments);
    return line;
}

std::string FolderOf(std::string_view path) {
    size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace vl
