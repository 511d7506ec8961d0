// How the chosen saver is started.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// The saver's path, a blank, and this program's own arguments exactly as
// received. A path with a blank is quoted, or Windows would start the wrong
// file or hand the saver a broken command line.
std::string SaverCommandLine(std::string_view saverPath, std::string_view arguments);

// Everything up to and including the last "\"; empty when there is none.
std::string FolderOf(std::string_view path);

}  // namespace vl
