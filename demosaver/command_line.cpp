#include "command_line.h"

namespace demosaver {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads a decimal window handle; returns 0 if there is none or it is junk.
std::uintptr_t ReadHandle(const char* p) {
    std::uintptr_t value = 0;
    bool any = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const std::uintptr_t next = value * 10u + static_cast<std::uintptr_t>(*p - '0');
        if (next / 10u != value) return 0;  // overflow: not a handle we could have been given
        value = next;
        any = true;
    }
    if (!any || *SkipBlanks(p) != '\0') return 0;
    return value;
}

}  // namespace

Command ParseCommandLine(const char* arguments) {
    const char* p = SkipBlanks(arguments ? arguments : "");
    if (*p == '\0') return {Mode::Configure, 0};
    if (*p != '/' && *p != '-') return {Mode::Ignore, 0};
    ++p;
    const char letter = Lower(*p);
    if (letter == '\0') return {Mode::Ignore, 0};
    ++p;
    // "/scr" or "/pretty" are not our switches.
    if (*p != '\0' && *p != ':' && !IsBlank(*p)) return {Mode::Ignore, 0};
    if (*p == ':') ++p;
    const std::uintptr_t window = ReadHandle(SkipBlanks(p));

    switch (letter) {
        case 's': return {Mode::Run, 0};
        case 'c': return {Mode::Configure, window};
        case 'p': return window ? Command{Mode::Preview, window} : Command{Mode::Ignore, 0};
        default: return {Mode::Ignore, 0};
    }
}

}  // namespace demosaver
