#include "settings/profile_store.h"

#include <algorithm>

#include "core/utf.h"

namespace vl {

std::string ProfileStore::Read(std::string_view section, std::string_view key, std::string_view fallback) {
    return fs_.ReadString(path_, section, key, fallback);
}

WriteResult ProfileStore::Refused() const {
    return {false, "The file could not be read, so it is left as it is.", true};
}

WriteResult ProfileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (leftAlone_) return Refused();
    // A new file, or an ANSI one about to receive text its code page lacks
    // (which would turn into "?"), becomes UTF-16 first with all it holds.
    // Without that the key is not written at all: a "?" in a path or a
    // caption is a record that silently watches something else.
    if (!fs_.KeepsWhole(path_, std::string(section).append(key).append(value))) {
        const std::optional<std::string> text = fs_.WholeText(path_);
        if (!text) return {false, fs_.LastFailure()};
        if (WriteResult converted = ReplaceWith(Utf16LeFileBytes(*text)); !converted.written) return converted;
    }
    if (!fs_.WriteString(path_, section, key, value)) return {false, fs_.LastFailure()};
    return {true, {}};
}

WriteResult ProfileStore::ReplaceAll(const std::vector<IniEntry>& entries) {
    if (leftAlone_) return Refused();
    // One write, whatever the number or length of the records: the profile
    // calls would take a pass over the file per key. UTF-16 holds any text,
    // and every version of the profile calls reads it.
    return ReplaceWith(Utf16LeFileBytes(ProfileText(entries)));
}

WriteResult ProfileStore::ReplaceWith(const std::string& bytes) {
    // New files of saves that never finished (an older version named its
    // own "<file>.new") are not this save's business, but nobody else cleans them.
    fs_.RemoveOlderThan(path_ + "*.new", kAbandonedSaveMs);
    const std::string temp = TemporaryPath();
    // The reason is taken before cleaning up, which may fail or succeed on its own.
    const auto failed = [&] {
        WriteResult result{false, fs_.LastFailure()};
        fs_.Remove(temp);
        return result;
    };
    // A leftover of an interrupted save must not lend its keys to this one.
    if (!fs_.Remove(temp)) return {false, fs_.LastFailure()};
    if (!fs_.WriteWholeFile(temp, bytes)) return failed();
    if (!fs_.Flush(temp) || !fs_.Rename(temp, path_)) return failed();
    return {true, {}};
}

std::string ProfileText(const std::vector<IniEntry>& entries) {
    std::vector<std::string> sections;
    for (const IniEntry& e : entries)
        if (std::find(sections.begin(), sections.end(), e.section) == sections.end()) sections.push_back(e.section);
    std::string text;
    for (const std::string& section : sections) {
        text += "[" + section + "]\r\n";
        for (const IniEntry& e : entries)
            if (e.section == section) text += e.key + "=" + e.value + "\r\n";
    }
    return text;
}

}  // namespace vl
