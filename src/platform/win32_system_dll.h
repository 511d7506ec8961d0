// Functions of system DLLs that only some modes need, looked up on first
// use. Every DLL a program imports is loaded and initialised before its
// first line runs: a preview or a run would pay for the dialog's controls,
// its Open dialog, the mail worker's COM and the date parser.
#pragma once

#include "platform/win32_api.h"

namespace vl {

// The DLL from the system folder (never from the current folder, which is
// the saver's), loaded once and kept for the life of the process.
HMODULE SystemDll(const wchar_t* name);

// nullptr when the DLL or the function is missing; callers go without.
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = SystemDll(dll);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

// A function of user32, which every window program has loaded; nullptr on a
// Windows too old to have it.
template <typename Fn>
Fn User32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace vl
