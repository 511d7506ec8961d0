#include "settings/profile_store.h"

namespace vl {

std::string ProfileStore::Read(std::string_view section, std::string_view key, std::string_view fallback) {
    return fs_.ReadString(path_, section, key, fallback);
}

void ProfileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    fs_.WriteString(path_, section, key, value);  // failures are not reported to anyone
}

bool ProfileStore::ReplaceAll(const std::vector<IniEntry>& entries) {
    const std::string temp = TemporaryPath();
    // A leftover of an interrupted save must not lend its keys to this one.
    if (!fs_.Remove(temp)) return false;
    for (const IniEntry& e : entries) {
        if (!fs_.WriteString(temp, e.section, e.key, e.value)) {
            fs_.Remove(temp);
            return false;
        }
    }
    if (!fs_.Flush(temp) || !fs_.Rename(temp, path_)) {
        fs_.Remove(temp);
        return false;
    }
    return true;
}

}  // namespace vl
