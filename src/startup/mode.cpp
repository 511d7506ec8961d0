#include "startup/mode.h"

#include <cctype>
#include <limits>

namespace vl {

std::string_view ArgumentsOf(std::string_view full) {
    size_t i = 0;
    if (!full.empty() && full[0] == '"') {
        size_t close = full.find('"', 1);
        i = close == std::string_view::npos ? full.size() : close + 1;
    } else {
        while (i < full.size() && full[i] != ' ' && full[i] != '\t') ++i;
    }
    while (i < full.size() && (full[i] == ' ' || full[i] == '\t')) ++i;
    return full.substr(i);
}

std::string ReduceSwitch(std::string_view arguments) {
    if (arguments.empty()) return "/c";
    std::string reduced(arguments.substr(0, 2));
    for (char& c : reduced) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return reduced;
}

Mode ModeOfSwitch(std::string_view s) {
    if (s == "/c" || s == "-c") return Mode::Configure;
    if (s == "/s" || s == "-s") return Mode::Run;
    if (s == "/p" || s == "-p") return Mode::Preview;
    if (s == "/t" || s == "-t") return Mode::Try;
    return Mode::None;
}

std::optional<std::uintptr_t> SettingsWindowOf(std::string_view arguments) {
    if (ModeOfSwitch(ReduceSwitch(arguments)) != Mode::Configure || arguments.size() < 3) return std::nullopt;
    std::string_view rest = arguments.substr(2);
    if (rest.front() == ':') {
        rest.remove_prefix(1);
    } else if (rest.front() == ' ' || rest.front() == '\t') {
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    } else {
        return std::nullopt;
    }
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    if (rest.empty()) return std::nullopt;
    std::uintptr_t value = 0;
    constexpr std::uintptr_t kMax = std::numeric_limits<std::uintptr_t>::max();
    for (const char c : rest) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uintptr_t>(c - '0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value == 0) return std::nullopt;
    return value;
}

std::optional<std::string> TryFileOf(std::string_view arguments) {
    if (ModeOfSwitch(ReduceSwitch(arguments)) != Mode::Try) return std::nullopt;
    std::string_view rest = arguments.substr(2);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!rest.empty() && blank(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && blank(rest.back())) rest.remove_suffix(1);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
    if (rest.empty()) return std::nullopt;
    return std::string(rest);
}

}  // namespace vl
