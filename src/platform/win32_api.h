// The one door to the Windows headers. Every call goes through its wide
// (UTF-16) form; text stays UTF-8 inside the program and is converted here,
// at the boundary. The ANSI forms are poisoned below, so using one by
// accident does not compile (the layout check catches the ANSI macros the
// poison cannot reach). The mail library is the exception: its calls exist
// only in the ANSI form and its texts are message ids.
#pragma once

#ifndef UNICODE
#error "The Windows build defines UNICODE: every call takes the wide form."
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <oleauto.h>
#include <tlhelp32.h>
#include <windowsx.h>

#include <string>
#include <string_view>

#include "core/utf.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

namespace vl {

inline std::wstring Wide(std::string_view utf8) {
    const std::u16string units = Utf16FromUtf8(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view utf16) {
    return Utf8FromUtf16(std::u16string(utf16.begin(), utf16.end()));
}

// A NUL-ended wide buffer a call filled, up to its first NUL.
inline std::string NarrowUpToNul(const wchar_t* text, size_t capacity) {
    size_t n = 0;
    while (n < capacity && text[n] != L'\0') ++n;
    return Narrow(std::wstring_view(text, n));
}

}  // namespace vl

// clang-format off
#pragma GCC poison CreateWindowExA DefWindowProcA RegisterClassA RegisterClassExA UnregisterClassA GetClassInfoExA
#pragma GCC poison SendMessageA PostMessageA SendMessageTimeoutA GetMessageA PeekMessageA DispatchMessageA
#pragma GCC poison IsDialogMessageA GetWindowLongA SetWindowLongA GetClassNameA FindWindowA FindWindowExA
#pragma GCC poison GetWindowTextA SetWindowTextA GetWindowTextLengthA MessageBoxA MessageBoxExA
#pragma GCC poison LoadImageA LoadIconA LoadCursorA LoadStringA LoadBitmapA SystemParametersInfoA
#pragma GCC poison TextOutA DrawTextA ExtTextOutA CreateFontA CreateFontIndirectA GetObjectA
#pragma GCC poison GetTextMetricsA GetTextExtentPoint32A EnumFontFamiliesExA MapVirtualKeyA
#pragma GCC poison CreateFileA DeleteFileA MoveFileExA MoveFileA CopyFileA GetFileAttributesA
#pragma GCC poison GetFileAttributesExA SetFileAttributesA FindFirstFileA FindNextFileA GetFullPathNameA
#pragma GCC poison CreateDirectoryA GetTempPathA SetCurrentDirectoryA GetCurrentDirectoryA
#pragma GCC poison GetModuleFileNameA GetModuleHandleA GetModuleHandleExA LoadLibraryA LoadLibraryExA
#pragma GCC poison SetDllDirectoryA GetSystemDirectoryA GetWindowsDirectoryA GetEnvironmentVariableA
#pragma GCC poison CreateProcessA GetCommandLineA ShellExecuteA CreateMutexA CreateEventA OpenMutexA
#pragma GCC poison GetPrivateProfileStringA GetPrivateProfileSectionA GetPrivateProfileSectionNamesA
#pragma GCC poison WritePrivateProfileStringA WritePrivateProfileSectionA GetPrivateProfileIntA
#pragma GCC poison FindResourceA FindResourceExA FormatMessageA OutputDebugStringA
#pragma GCC poison GetFileVersionInfoA GetFileVersionInfoSizeA VerQueryValueA
#pragma GCC poison GetDateFormatA GetTimeFormatA GetLocaleInfoA GetOpenFileNameA GetSaveFileNameA
#pragma GCC poison WNDCLASSA WNDCLASSEXA CREATESTRUCTA LOGFONTA TEXTMETRICA STARTUPINFOA
#pragma GCC poison WIN32_FIND_DATAA OPENFILENAMEA LVITEMA LVCOLUMNA TCITEMA NMLVDISPINFOA
// clang-format on
