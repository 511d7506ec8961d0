#include "startup/mode.h"

#include <cctype>

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
    return Mode::None;
}

}  // namespace vl
