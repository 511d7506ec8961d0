// An in-memory stand-in for private-profile files: case-insensitive
// sections and keys in file order, and a switchable "power cut" that stops
// the world after a given number of file operations.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "settings/profile_store.h"

namespace vltest {

struct PowerCut : std::runtime_error {
    PowerCut() : std::runtime_error("power cut") {}
};

using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;
using ProfileFile = std::vector<Section>;

inline bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

class FakeProfileFs : public vl::ProfileFileSystem {
public:
    std::map<std::string, ProfileFile> files;
    bool folderMissing = false;  // every write fails, every read finds nothing
    int operations = 0;
    int cutAfter = -1;           // operations allowed before the power cut; -1 = never

    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view fallback) override {
        auto f = files.find(path);
        if (f == files.end()) return std::string(fallback);
        for (auto& [name, keys] : f->second)
            if (SameText(name, section))
                for (auto& [k, v] : keys)
                    if (SameText(k, key)) return v;
        return std::string(fallback);
    }

    bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view value) override {
        Tick();
        if (folderMissing) return false;
        ProfileFile& file = files[path];
        auto s = std::find_if(file.begin(), file.end(), [&](auto& sec) { return SameText(sec.first, section); });
        if (s == file.end()) {
            file.push_back({std::string(section), {}});
            s = file.end() - 1;
        }
        auto k = std::find_if(s->second.begin(), s->second.end(), [&](auto& kv) { return SameText(kv.first, key); });
        if (k == s->second.end())
            s->second.push_back({std::string(key), std::string(value)});
        else
            k->second = std::string(value);
        return true;
    }

    bool Flush(const std::string&) override {
        Tick();
        return true;
    }

    bool Remove(const std::string& path) override {
        Tick();
        files.erase(path);
        return true;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        Tick();
        auto f = files.find(from);
        if (f == files.end() || folderMissing) return false;
        files[to] = f->second;
        files.erase(from);
        return true;
    }

    // The value of one key, or "<missing>".
    std::string Get(const std::string& path, const std::string& section, const std::string& key) {
        return ReadString(path, section, key, "<missing>");
    }

private:
    void Tick() {
        if (cutAfter >= 0 && operations >= cutAfter) throw PowerCut();
        ++operations;
    }
};

}  // namespace vltest
