// An in-memory stand-in for private-profile files: case-insensitive
// sections and keys in file order, and a switchable "power cut" that stops
// the world after a given number of file operations.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/utf.h"
#include "settings/profile_store.h"

namespace vltest {

struct PowerCut : std::runtime_error {
    PowerCut() : std::runtime_error("power cut") {}
};

using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;
using ProfileFile = std::vector<Section>;

// The entry whose name matches without regard to case.
template <class Entries>
auto Find(Entries& entries, std::string_view name) {
    return std::find_if(entries.begin(), entries.end(), [name](const auto& e) {
        return std::equal(e.first.begin(), e.first.end(), name.begin(), name.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        });
    });
}

class FakeProfileFs : public vl::ProfileFileSystem {
public:
    std::map<std::string, ProfileFile> files;
    bool folderMissing = false;  // every write fails, every read finds nothing
    bool targetLocked = false;   // renaming onto an existing file fails: held open, or read-only
    std::map<std::string, std::uint64_t> ageMs;  // since a file was last written; new files are young
    std::string failure;                         // the reason of the last failure
    std::map<std::string, std::string> wholeFileBytes;  // as last written whole
    std::set<std::string> ansiFiles;  // in a code page of the first 256 code points; the rest are UTF-16
    int operations = 0;
    int cutAfter = -1;  // operations allowed before the power cut; -1 = never

    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view fallback) override {
        const auto f = files.find(path);
        if (f == files.end()) return std::string(fallback);
        const auto s = Find(f->second, section);
        if (s == f->second.end()) return std::string(fallback);
        const auto k = Find(s->second, key);
        return k == s->second.end() ? std::string(fallback) : k->second;
    }

    bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view value) override {
        Tick();
        if (folderMissing) return Fail("The system cannot find the path specified.");
        ageMs[path] = 0;
        ProfileFile& file = files[path];
        auto s = Find(file, section);
        if (s == file.end()) s = file.insert(s, {std::string(section), {}});
        auto k = Find(s->second, key);
        if (k == s->second.end()) k = s->second.insert(k, {std::string(key), {}});
        k->second = std::string(value);
        return true;
    }

    vl::KeyValues ReadSection(const std::string& path, std::string_view section) override {
        const auto f = files.find(path);
        if (f == files.end()) return {};
        const auto s = Find(f->second, section);
        return s == f->second.end() ? vl::KeyValues{} : vl::KeyValues(s->second.begin(), s->second.end());
    }

    std::vector<std::string> SectionNames(const std::string& path) override {
        std::vector<std::string> names;
        if (const auto f = files.find(path); f != files.end())
            for (const Section& s : f->second) names.push_back(s.first);
        return names;
    }

    bool KeepsWhole(const std::string& path, std::string_view text) override {
        const auto f = files.find(path);
        if (f == files.end() || f->second.empty()) return false;
        if (!ansiFiles.count(path)) return true;
        const std::u16string units = vl::Utf16FromUtf8(text);
        return std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x100; });
    }

    std::optional<std::string> WholeText(const std::string& path) override {
        if (folderMissing) return Fail("The system cannot find the path specified."), std::nullopt;
        std::vector<vl::IniEntry> entries;
        const auto f = files.find(path);
        if (f == files.end()) return std::string();
        for (const Section& s : f->second)
            for (const auto& [key, value] : s.second) entries.push_back({s.first, key, value});
        return vl::ProfileText(entries);
    }

    // Reads the text back the way the profile calls would.
    bool WriteWholeFile(const std::string& path, std::string_view bytes) override {
        Tick();
        if (folderMissing) return Fail("The system cannot find the path specified.");
        wholeFileBytes[path] = std::string(bytes);
        const std::string content = vl::TextOfFileBytes(bytes);
        ProfileFile file;
        for (size_t at = 0; at < content.size();) {
            size_t end = content.find("\r\n", at);
            if (end == std::string::npos) end = content.size();
            const std::string line(content.substr(at, end - at));
            at = end + 2;
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
                file.push_back({line.substr(1, line.size() - 2), {}});
            else if (const size_t eq = line.find('='); eq != std::string::npos && !file.empty())
                file.back().second.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
        files[path] = std::move(file);
        ansiFiles.erase(path);
        ageMs[path] = 0;
        return true;
    }

    bool Flush(const std::string&) override { return Tick(), true; }
    bool Remove(const std::string& path) override { return Tick(), files.erase(path), ageMs.erase(path), true; }

    bool Rename(const std::string& from, const std::string& to) override {
        Tick();
        const auto f = files.find(from);
        if (f == files.end() || folderMissing) return Fail("The system cannot find the file specified.");
        if (targetLocked && files.count(to)) return Fail("Access is denied.");
        files[to] = f->second;
        files.erase(from);
        const bool ansi = ansiFiles.erase(from) > 0;
        ansiFiles.erase(to);
        if (ansi) ansiFiles.insert(to);
        ageMs[to] = ageMs[from];
        ageMs.erase(from);
        return true;
    }

    std::string LastFailure() override { return failure; }

    // One "*" in the pattern.
    void RemoveOlderThan(const std::string& pattern, std::uint64_t maxAgeMs) override {
        const std::string head = pattern.substr(0, pattern.find('*'));
        const std::string tail = pattern.substr(pattern.find('*') + 1);
        for (auto f = files.begin(); f != files.end();) {
            const std::string& name = f->first;
            const bool matches = name.size() >= head.size() + tail.size() && name.rfind(head, 0) == 0 &&
                                 name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
            if (matches && ageMs[name] > maxAgeMs) {
                ageMs.erase(name);
                f = files.erase(f);
            } else {
                ++f;
            }
        }
    }

    // The value of one key, or "<missing>".
    std::string Get(const std::string& path, const std::string& section, const std::string& key) {
        return ReadString(path, section, key, "<missing>");
    }

private:
    bool Fail(std::string reason) {
        failure = std::move(reason);
        return false;
    }
    void Tick() {
        if (cutAfter >= 0 && operations >= cutAfter) throw PowerCut();
        ++operations;
    }
};

}  // namespace vltest
