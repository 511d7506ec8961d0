// The bytes of a settings file read the way the private-profile calls read
// them, into the unit tests' in-memory profile file. Lines end at CR or LF;
// blanks (tab to CR, ^Z, space) around a line are dropped; "[" opens a
// section whose name runs to the last "]" on the line, blanks trimmed; in
// "key=value" the blanks around "=" go; a NUL ends a value, as the calls
// return C strings. A line without "=", an empty key and anything before the
// first section can never be read by name, so they are left out. Quoted
// values are not unquoted: the rules never write one.
#pragma once

#include <string>
#include <string_view>

#include "fake_profile_fs.h"

namespace vlfuzz {

inline bool IsProfileBlank(char c) { return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == ' '; }

inline std::string_view TrimProfileBlanks(std::string_view s) {
    while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
    return s;
}

inline std::string UpToNul(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

inline vltest::ProfileFile ParseProfileText(std::string_view text) {
    vltest::ProfileFile file;
    vltest::Section* section = nullptr;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = TrimProfileBlanks(text.substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                file.push_back({UpToNul(TrimProfileBlanks(line.substr(1, close - 1))), {}});
                section = &file.back();
                continue;
            }
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || section == nullptr) continue;
        const std::string key = UpToNul(TrimProfileBlanks(line.substr(0, equals)));
        if (key.empty()) continue;
        section->second.emplace_back(key, UpToNul(TrimProfileBlanks(line.substr(equals + 1))));
    }
    return file;
}

}  // namespace vlfuzz
