// The saver's command line: what Windows asks of it, and which window.
#pragma once

#include <cstdint>

namespace demosaver {

enum class Mode {
    Configure,  // "/c", "/c:HWND" or nothing at all
    Run,        // "/s"
    Preview,    // "/p HWND"
    Ignore,     // anything else: exit quietly
};

struct Command {
    Mode mode = Mode::Ignore;
    std::uintptr_t window = 0;  // the HWND after /c: or /p, 0 if none
};

// Parses the command line after the program name. Switches are
// case-insensitive and start with '/' or '-'; the window handle may follow
// after ':' or after blanks.
Command ParseCommandLine(const char* arguments);

}  // namespace demosaver
