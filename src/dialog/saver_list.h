// Which screen savers the chooser lists, under which names.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/launch.h"

namespace vl {

class SaverFolderScan {
public:
    virtual ~SaverFolderScan() = default;
    // Names of the normal (not hidden, not system) "*.scr" files, in the
    // order the file system gives them.
    virtual std::vector<std::string> SaverFiles(const std::string& folder) = 0;
    // String resource 1 of the file, read as data; nothing when it has none.
    virtual std::optional<std::string> Description(const std::string& path) = 0;
    // This program itself, or a copy of it: never a saver to run.
    virtual bool IsThisProgram(const std::string& path) = 0;
};

inline constexpr size_t kMaxSaverNameLength = 199;

// The description when there is one, else the file name up to its first ".".
std::string SaverDisplayName(const std::string& fileName, const std::optional<std::string>& description);

struct SaverEntry {
    std::string name;  // shown in the sorted visible list
    std::string path;  // its index in `entries` is the visible entry's item data
};

struct SaverList {
    std::vector<SaverEntry> entries;
    int currentIndex = -1;  // the entry whose path is the current saver, compared without case
};

// The Windows folder first, then the system folder; a system-folder saver
// whose name a Windows-folder saver already has (same case) is left out, and
// so is this program wherever it lies.
// With a `native` alias, the system folder is its real files first, then the
// redirected ones whose file name (any case) is not among them: both are
// listed under `system`, as Windows names them, and a stored path starts the
// real file where there is one.
// Names from the Windows folder go into `names`.
SaverList BuildSaverList(SaverFolderScan& scan, const SaverFolders& folders, const std::string& currentSaver,
                         std::set<std::string>& names);

}  // namespace vl
