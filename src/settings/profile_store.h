// The settings file kept through private-profile calls. A full save writes a
// complete new file beside the old one, in one write and in the format the
// profile calls read, and swaps it in with one rename, so a crash or power
// cut at any moment leaves either the old or the new file. Files written
// whole are UTF-16; a per-key write keeps the file's encoding, unless that
// would lose a character (then the file turns UTF-16 first, whole).
// The new file's name is this process's own, so two programs saving at once
// each swap in a whole file.
#pragma once

#include <cstdint>
#include <optional>
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
    // Every "key=value" line of a section; empty when there is none.
    virtual KeyValues ReadSection(const std::string& path, std::string_view section) = 0;
    virtual std::vector<std::string> SectionNames(const std::string& path) = 0;
    // True when a per-key write of this text keeps it whole: the file is in
    // a Unicode encoding, or its code page has every character. False for a
    // missing or empty file.
    virtual bool KeepsWhole(const std::string& path, std::string_view text) = 0;
    // The file's text decoded from its encoding; empty for a missing file,
    // nothing when it cannot be read (LastFailure says why).
    virtual std::optional<std::string> WholeText(const std::string& path) = 0;
    // Creates or replaces the file with exactly these bytes.
    virtual bool WriteWholeFile(const std::string& path, std::string_view content) = 0;
    virtual bool Flush(const std::string& path) = 0;                          // commits cached writes to the disk
    virtual bool Remove(const std::string& path) = 0;                         // a missing file counts as removed
    virtual bool Rename(const std::string& from, const std::string& to) = 0;  // replaces `to` in one step
    // Why the last call above failed, in the system's words.
    virtual std::string LastFailure() = 0;
    // Removes the files matching a wildcard pattern ("*") that were last
    // written more than maxAgeMs ago.
    virtual void RemoveOlderThan(const std::string& pattern, std::uint64_t maxAgeMs) = 0;
};

// The text of a whole settings file: each section once, in the order of its
// first entry, CR LF line ends.
std::string ProfileText(const std::vector<IniEntry>& entries);

// A new file older than this was left by a save that never finished: a save
// takes milliseconds.
inline constexpr std::uint64_t kAbandonedSaveMs = 60000;

class ProfileStore final : public SettingsStore {
public:
    // processTag tells this process's new file from another's (its process id).
    ProfileStore(ProfileFileSystem& fs, std::string path, std::string processTag = "0")
        : fs_(fs), path_(std::move(path)), processTag_(std::move(processTag)) {}

    std::string Read(std::string_view section, std::string_view key, std::string_view fallback) override;
    KeyValues ReadSection(std::string_view section) override { return fs_.ReadSection(path_, section); }
    bool HasSections() override { return !fs_.SectionNames(path_).empty(); }
    WriteResult Write(std::string_view section, std::string_view key, std::string_view value) override;
    WriteResult ReplaceAll(const std::vector<IniEntry>& entries) override;
    void LeaveAlone() override { leftAlone_ = true; }
    [[nodiscard]] std::string FilePath() const override { return path_; }

    [[nodiscard]] std::string TemporaryPath() const { return path_ + "." + processTag_ + ".new"; }

private:
    // Swaps in a new file of these bytes in one rename.
    WriteResult ReplaceWith(const std::string& bytes);
    WriteResult Refused() const;

    ProfileFileSystem& fs_;
    std::string path_;
    std::string processTag_;
    bool leftAlone_ = false;
};

}  // namespace vl
