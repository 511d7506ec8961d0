// Icons loaded from files, kept by path and loaded again only when the
// file's size or date changes: the overlay timer draws them twice a second.
#pragma once

#include "platform/win32_api.h"

#include <map>
#include <string>

#include "platform/win32_handles.h"

namespace vl {

class IconCache {
public:
    // The file's icon at the system size, or nullptr when the file is
    // missing or holds no loadable icon. The cache owns the handle.
    HICON Get(const std::string& path);
    void Clear() { icons_.clear(); }

private:
    struct Entry {
        ULONGLONG size = 0;
        FILETIME written{};
        UniqueIcon icon;
    };
    std::map<std::string, Entry> icons_;
};

}  // namespace vl
