// How the screen-saver switches on the command line select what the program does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

// Try: a run over the choices the dialog has not saved yet, read from the
// file the dialog hands over ("/t FILE").
enum class Mode { Configure, Run, Preview, Try, None };

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

// The file a try reads its settings from: what follows "/t" or "-t", one
// pair of quotes around it removed. Nothing for any other switch or when no
// file is named.
std::optional<std::string> TryFileOf(std::string_view arguments);

// What the chosen saver is handed during a try: a real run's switch.
inline constexpr char kTrySaverArguments[] = "/s";
// A try's exit code when its saver could not be started (a file deleted
// since it was chosen, say): the dialog tells the user instead of coming
// straight back as if the saver had been seen.
inline constexpr int kTrySaverNotStarted = 3;

}  // namespace vl
