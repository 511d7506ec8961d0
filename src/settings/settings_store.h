// The settings file as the rules see it. The Windows adapter goes through
// the private-profile calls; tests use an in-memory file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vl {

inline constexpr char kSettingsSection[] = "settings";
inline constexpr char kAppListSection[] = "applist";

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
};

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// How a write went; on failure the reason, in the system's own words where
// it gave one, for the user and the log.
struct WriteResult {
    bool written = false;
    std::string reason;
    // The file could not be read when the settings were loaded: this process
    // writes nothing into it (see SettingsStore::LeaveAlone).
    bool fileUnread = false;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The whole value, however long; `fallback` when the file, section or key is missing.
    virtual std::string Read(std::string_view section, std::string_view key, std::string_view fallback) = 0;
    // Every key of a section in file order, in one pass over the file.
    virtual KeyValues ReadSection(std::string_view section) = 0;
    // True when the file exists and holds at least one section.
    virtual bool HasSections() = 0;
    // One key. A write that cannot keep the text whole does not happen.
    [[nodiscard]] virtual WriteResult Write(std::string_view section, std::string_view key,
                                            std::string_view value) = 0;
    // Replaces the whole file with exactly these entries in one step; on
    // failure the old file is left as it was.
    [[nodiscard]] virtual WriteResult ReplaceAll(const std::vector<IniEntry>& entries) = 0;
    // The file holds something that could not be read: from now on every
    // write fails, so that nothing this process does can bury it.
    virtual void LeaveAlone() = 0;
    // The file itself, to name it to the user.
    [[nodiscard]] virtual std::string FilePath() const = 0;
};

// What loading needs besides the file itself.
class SettingsFiles {
public:
    virtual ~SettingsFiles() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // Writes the program's own window icon as an .ico file.
    virtual bool WriteOwnIcon(const std::string& path) = 0;
    // Nothing when the file is missing.
    virtual std::optional<std::uint64_t> FileSize(const std::string& path) = 0;
    // Renames the file to `to` unless `to` exists; false when it did not move.
    virtual bool MoveAside(const std::string& path, const std::string& to) = 0;
    // A line for the diagnostic log.
    virtual void Log(std::string_view line) = 0;
};

}  // namespace vl
