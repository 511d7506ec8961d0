#include "display/icon_cache_win32.h"

namespace vl {

HICON IconCache::Get(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        icons_.erase(path);
        return nullptr;
    }
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    auto found = icons_.find(path);
    if (found != icons_.end() && found->second.size == size &&
        ::CompareFileTime(&found->second.written, &data.ftLastWriteTime) == 0)
        return found->second.icon.get();

    Entry entry;
    entry.size = size;
    entry.written = data.ftLastWriteTime;
    entry.icon.reset(static_cast<HICON>(::LoadImageW(nullptr, Wide(path).c_str(), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                     LR_LOADFROMFILE)));
    HICON icon = entry.icon.get();
    icons_[path] = std::move(entry);  // a file that is no icon is remembered too, until it changes
    return icon;
}

}  // namespace vl
