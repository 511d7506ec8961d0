#include "display/icon_cache_win32.h"

namespace vl {

HICON IconCache::Get(const std::string& path) {
    // The file is looked at again only now and then, not on every repaint.
    const ULONGLONG now = ::GetTickCount64();
    auto found = icons_.find(path);
    if (found != icons_.end() && now - found->second.checkedMs < kRecheckMs) return found->second.icon.get();

    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (found == icons_.end() || found->second.size != kMissing) ++generation_;
        Entry missing;
        missing.size = kMissing;
        missing.checkedMs = now;
        icons_[path] = std::move(missing);
        return nullptr;
    }
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (found != icons_.end() && found->second.size == size &&
        ::CompareFileTime(&found->second.written, &data.ftLastWriteTime) == 0) {
        found->second.checkedMs = now;
        return found->second.icon.get();
    }

    ++generation_;
    Entry entry;
    entry.size = size;
    entry.written = data.ftLastWriteTime;
    entry.checkedMs = now;
    entry.icon.reset(static_cast<HICON>(::LoadImageW(nullptr, Wide(path).c_str(), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                     LR_LOADFROMFILE)));
    HICON icon = entry.icon.get();
    icons_[path] = std::move(entry);  // a file that is no icon is remembered too, until it changes
    return icon;
}

}  // namespace vl
