// Owners for the Win32 handles the program holds. One alias per kind, so a
// handle released with the wrong function does not compile.
#pragma once

#include "platform/win32_api.h"

#include "platform/unique_handle.h"

namespace vl {

struct KernelHandleCloser {  // CreateProcess, OpenProcess, CreateEvent...
    static HANDLE Invalid() { return nullptr; }
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleCloser>;

struct FileHandleCloser {  // CreateFile fails with INVALID_HANDLE_VALUE
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using UniqueFileHandle = UniqueHandle<HANDLE, FileHandleCloser>;

// A closer of its own, so that a snapshot and a file are different types:
// neither can be handed where the other is meant.
struct SnapshotCloser {  // CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE too
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using UniqueSnapshot = UniqueHandle<HANDLE, SnapshotCloser>;

struct FindCloser {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    void operator()(HANDLE h) const { ::FindClose(h); }
};
using UniqueFind = UniqueHandle<HANDLE, FindCloser>;

struct ChangeNotificationCloser {  // FindFirstChangeNotification fails with INVALID_HANDLE_VALUE
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    void operator()(HANDLE h) const { ::FindCloseChangeNotification(h); }
};
using UniqueChangeNotification = UniqueHandle<HANDLE, ChangeNotificationCloser>;

struct IconCloser {
    static HICON Invalid() { return nullptr; }
    void operator()(HICON h) const { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueHandle<HICON, IconCloser>;

struct BitmapCloser {
    static HBITMAP Invalid() { return nullptr; }
    void operator()(HBITMAP h) const { ::DeleteObject(h); }
};
using UniqueBitmap = UniqueHandle<HBITMAP, BitmapCloser>;

struct BrushCloser {
    static HBRUSH Invalid() { return nullptr; }
    void operator()(HBRUSH h) const { ::DeleteObject(h); }
};
using UniqueBrush = UniqueHandle<HBRUSH, BrushCloser>;

struct FontCloser {
    static HFONT Invalid() { return nullptr; }
    void operator()(HFONT h) const { ::DeleteObject(h); }
};
using UniqueFont = UniqueHandle<HFONT, FontCloser>;

struct DcCloser {  // CreateCompatibleDC, CreateDC
    static HDC Invalid() { return nullptr; }
    void operator()(HDC h) const { ::DeleteDC(h); }
};
using UniqueDc = UniqueHandle<HDC, DcCloser>;

// A DC from GetDC must go back to ReleaseDC with the same window.
struct WindowDcCloser {
    HWND window = nullptr;
    static HDC Invalid() { return nullptr; }
    void operator()(HDC h) const { ::ReleaseDC(window, h); }
};
using UniqueWindowDc = UniqueHandle<HDC, WindowDcCloser>;
inline UniqueWindowDc GetWindowDc(HWND window) { return UniqueWindowDc(::GetDC(window), WindowDcCloser{window}); }

struct ModuleCloser {
    static HMODULE Invalid() { return nullptr; }
    void operator()(HMODULE h) const { ::FreeLibrary(h); }
};
using UniqueModule = UniqueHandle<HMODULE, ModuleCloser>;

struct WindowCloser {
    static HWND Invalid() { return nullptr; }
    void operator()(HWND h) const {
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
};
using UniqueWindow = UniqueHandle<HWND, WindowCloser>;

// A timer id only means something together with the window it was set on.
struct TimerCloser {
    HWND window = nullptr;
    static UINT_PTR Invalid() { return 0; }
    void operator()(UINT_PTR id) const { ::KillTimer(window, id); }
};
using UniqueTimer = UniqueHandle<UINT_PTR, TimerCloser>;

// Both handles CreateProcess hands back.
struct UniqueProcessInformation {
    UniqueKernelHandle process;
    UniqueKernelHandle thread;
    DWORD processId = 0;
    DWORD threadId = 0;

    UniqueProcessInformation() = default;
    explicit UniqueProcessInformation(const PROCESS_INFORMATION& pi)
        : process(pi.hProcess), thread(pi.hThread), processId(pi.dwProcessId), threadId(pi.dwThreadId) {}
};

// BeginPaint/EndPaint as one scope.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = ::BeginPaint(window_, &ps_); }
    ~PaintDc() { ::EndPaint(window_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    [[nodiscard]] HDC get() const { return dc_; }
    [[nodiscard]] const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// Selects an object into a DC for one scope and puts the previous one back,
// so the selected object can be deleted afterwards.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace vl
