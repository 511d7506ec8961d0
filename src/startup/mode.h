// How the screen-saver switches on the command line select what the program does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

enum class Mode { Configure, Run, Preview, None };

// The arguments Windows passed: the full command line without the program
// name (quoted or not) and the blanks after it. Nothing else is changed, as
// the chosen saver receives exactly this text.
std::string_view ArgumentsOf(std::string_view fullCommandLine);

// An empty command line means configuration; otherwise its first two
// characters, lower-cased, are the switch.
std::string ReduceSwitch(std::string_view arguments);

Mode ModeOfSwitch(std::string_view reducedSwitch);

// The window that asked for the settings: Windows passes its handle in
// decimal as "/c:HWND" or "/c HWND". Nothing for any other form, a zero or
// a number too large for a handle.
std::optional<std::uintptr_t> SettingsWindowOf(std::string_view arguments);

}  // namespace vl
