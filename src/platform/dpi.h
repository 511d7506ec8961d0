// Sizes given for 96 DPI, at the DPI a window is drawn for. Each window
// asks Windows for its own: the dialog and the summary their monitor's, the
// icons over the saver that of the saver's window (96 for a saver Windows
// stretches).
#pragma once

namespace vl {

inline constexpr int kBaseDpi = 96;

// A size given for 96 DPI, at this DPI, rounded to the nearest pixel. A DPI
// of 0 or less is one the system could not tell: the size stays.
[[nodiscard]] int ScaleToDpi(int pixelsAt96, int dpi);

// The height to ask of CreateFont for a font of this many points (negative:
// the character height, as dialogs ask it).
[[nodiscard]] int FontHeightForDpi(int points, int dpi);

}  // namespace vl
