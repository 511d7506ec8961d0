// The settings file kept through private-profile calls. A full save writes a
// complete new file beside the old one and swaps it in with one rename, so a
// crash or power cut at any moment leaves either the old or the new file.
#pragma once

#include <string>

#include "settings/settings_store.h"

namespace vl {

// The file operations the store needs; the Windows adapter maps them 1:1.
class ProfileFileSystem {
public:
    virtual ~ProfileFileSystem() = default;
    virtual std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                                   std::string_view fallback) = 0;
    virtual bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view value) = 0;
    virtual bool Flush(const std::string& path) = 0;                          // commits cached writes to the disk
    virtual bool Remove(const std::string& path) = 0;                         // a missing file counts as removed
    virtual bool Rename(const std::string& from, const std::string& to) = 0;  // replaces `to` in one step
};

class ProfileStore final : public SettingsStore {
public:
    ProfileStore(ProfileFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

    std::string Read(std::string_view section, std::string_view key, std::string_view fallback) override;
    void Write(std::string_view section, std::string_view key, std::string_view value) override;
    bool ReplaceAll(const std::vector<IniEntry>& entries) override;

    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string TemporaryPath() const { return path_ + ".new"; }

private:
    ProfileFileSystem& fs_;
    std::string path_;
};

}  // namespace vl
