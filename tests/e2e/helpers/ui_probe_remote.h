// Memory inside the process that owns a window, for common-control
// messages whose pointers the system does not marshal between processes
// (list view, tab control, WM_NOTIFY).
//
// The structures written here (LVITEMW, TCITEMW, NMHDR, RECT) are laid out
// for the probe's own architecture, so the probe must be built for the
// same architecture as the target: the harness runs the win32 UiProbe
// against 32-bit programs and the win64 one against 64-bit programs. A
// mismatch is detected and refused rather than corrupting the target.
#pragma once

#include <string>

#include "helper_common.h"

namespace probe {

class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, SIZE_T size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_.reset(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
        FALSE, pid));
    if (!process_.valid()) {
      error_ = helpers::Format("OpenProcess(%lu) failed: %lu", pid, GetLastError());
      return;
    }
    if (IsWow64(GetCurrentProcess()) != IsWow64(process_.get())) {
      error_ = "target architecture differs from the probe's; use the matching UiProbe build";
      return;
    }
    base_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (base_ == nullptr)
      error_ = helpers::Format("VirtualAllocEx failed: %lu", GetLastError());
    else
      size_ = size;
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  ~RemoteBuffer() {
    if (base_ != nullptr) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
  }

  bool ok() const { return base_ != nullptr; }
  const std::string& error() const { return error_; }

  // The target-side address of an offset, ready to pass as a message parameter.
  char* Remote(SIZE_T offset) const { return static_cast<char*>(base_) + offset; }
  LPARAM At(SIZE_T offset) const { return reinterpret_cast<LPARAM>(Remote(offset)); }

  template <class T>
  bool Write(SIZE_T offset, const T& value) {
    return WriteBytes(offset, &value, sizeof value);
  }
  template <class T>
  bool Read(SIZE_T offset, T& value) const {
    return ReadBytes(offset, &value, sizeof value);
  }
  bool WriteBytes(SIZE_T offset, const void* data, SIZE_T n) {
    SIZE_T done = 0;
    return offset + n <= size_ &&
           WriteProcessMemory(process_.get(), Remote(offset), data, n, &done) && done == n;
  }
  bool ReadBytes(SIZE_T offset, void* data, SIZE_T n) const {
    SIZE_T done = 0;
    return offset + n <= size_ &&
           ReadProcessMemory(process_.get(), Remote(offset), data, n, &done) && done == n;
  }

  // A NUL-terminated wide string anywhere in the target, e.g. where a
  // control chose to point pszText instead of filling our buffer; UTF-8.
  std::string ReadWideString(const void* remote, SIZE_T max_chars) const {
    std::wstring text(max_chars, L'\0');
    SIZE_T done = 0;
    if (remote == nullptr ||
        !ReadProcessMemory(process_.get(), remote, text.data(), max_chars * sizeof(wchar_t), &done))
      return {};
    return vl::NarrowUpToNul(text.data(), done / sizeof(wchar_t));
  }

 private:
  static bool IsWow64(HANDLE process) {
    BOOL wow = FALSE;
    return IsWow64Process(process, &wow) && wow;
  }

  vl::UniqueKernelHandle process_;
  void* base_ = nullptr;
  SIZE_T size_ = 0;
  std::string error_;
};

}  // namespace probe
