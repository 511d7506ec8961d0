#include "host/launch.h"

#include "core/text.h"

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

std::string NativeAlias(std::string_view path, const SaverFolders& folders) {
    const size_t n = folders.system.size();
    std::string alias;
    if (!folders.native.empty() && n > 0 && path.size() > n + 1 && path[n] == '\\' &&
        EqualsIgnoreCase(std::string_view(path.data(), n), folders.system)) {
        alias = folders.native;
        alias.append(path.data() + n, path.size() - n);
    }
    return alias;
}

}  // namespace vl
