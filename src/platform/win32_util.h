// Small Win32 helpers shared by the windows and adapters.
#pragma once

#include "platform/win32_api.h"

#include <string>

#include "platform/twips.h"

namespace vl {

// Appends to "c:\log.txt", or where that cannot be opened to "log.txt" in
// the data folder; false when neither can be written.
bool AppendDiagnosticLog(std::string_view text);

// The executable's own file, in its long form.
std::string ModuleFileName();

// The folder that holds the executable, without a trailing "\".
std::string ProgramFolder();

// True when the file's length can be read: it exists and is not a folder.
bool IsExistingFile(const std::string& path);

// The screen's twips per pixel from its logical DPI.
TwipsScale ScreenTwips();

// The DPI Windows draws this window for: its monitor's where the program is
// aware of monitors' scales (Windows 10 on), else the system's.
int WindowDpi(HWND window);

// A window's outer rectangle for this client rectangle, with the frame the
// DPI calls for (the system's frame before Windows 10).
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// The font of message boxes at this DPI.
bool MessageFontForDpi(LOGFONTW& font, int dpi);

// A window's caption or a control's text.
std::string WindowTextOf(HWND window);

}  // namespace vl
