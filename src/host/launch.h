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

// The folders savers are chosen from, as this program sees them.
struct SaverFolders {
    std::string windows;  // C:\Windows
    std::string system;   // C:\Windows\System32, as a chosen saver's path names it
    // Where a 32-bit program on 64-bit Windows sees the real system folder
    // (C:\Windows\Sysnative): `system` shows it the 32-bit files instead.
    // Empty everywhere else.
    std::string native;
};

// The same file through the `native` alias, for a path inside the system
// folder: Windows starts a stored "...\System32\X.scr" from a 64-bit process
// and gets the 64-bit file. Empty without an alias or for any other path.
std::string NativeAlias(std::string_view path, const SaverFolders& folders);

}  // namespace vl
