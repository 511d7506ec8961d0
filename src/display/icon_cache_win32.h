// Icons loaded from files, kept by path and loaded again only when the
// file's size or date changes. The overlay timer draws them twice a second;
// the file is looked at every few seconds only.
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
    void Clear() {
        icons_.clear();
        ++generation_;
    }
    // Changes whenever a path's answer may have changed: a picture made
    // from the icons can be kept while it stays the same.
    [[nodiscard]] unsigned Generation() const { return generation_; }

private:
    static constexpr ULONGLONG kRecheckMs = 3000;
    static constexpr ULONGLONG kMissing = ~ULONGLONG{0};  // the size of a file that is not there
    struct Entry {
        ULONGLONG checkedMs = 0;
        ULONGLONG size = 0;
        FILETIME written{};
        UniqueIcon icon;
    };
    std::map<std::string, Entry> icons_;
    unsigned generation_ = 0;
};

}  // namespace vl
