// The settings file and the icon file on Windows.
#pragma once

#include <cstdint>
#include <string>

#include "settings/profile_store.h"
#include "settings/settings_store.h"

namespace vl {

// Private-profile calls with full paths (a bare name would land in the
// Windows folder), reading values of any length.
class Win32ProfileFileSystem final : public ProfileFileSystem {
public:
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view value) override;
    KeyValues ReadSection(const std::string& path, std::string_view section) override;
    bool KeepsWhole(const std::string& path, std::string_view text) override;
    std::optional<std::string> WholeText(const std::string& path) override;
    std::vector<std::string> SectionNames(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, std::string_view content) override;
    bool Flush(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    std::string LastFailure() override;
    void RemoveOlderThan(const std::string& pattern, std::uint64_t maxAgeMs) override;

private:
    bool RecordFailure();  // keeps the calling thread's last error for LastFailure; returns false

    unsigned long lastError_ = 0;
};

class Win32SettingsFiles final : public SettingsFiles {
public:
    bool FileExists(const std::string& path) override;
    // Writes the window icon resource, every image it holds, as an .ico file.
    bool WriteOwnIcon(const std::string& path) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    bool MoveAside(const std::string& path, const std::string& to) override;
    void Log(std::string_view line) override;
};

}  // namespace vl
