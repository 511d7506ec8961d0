// UiProbe `snap`: captures a window inside the process that owns it, by
// loading ProbeSnap.dll there and running its SnapWindow on a remote
// thread. Under Wine this is the only way to see the pixels of a window
// that lives in another process, or inside another process's window.
#include <cstring>

#include "snap_common.h"
#include "ui_probe.h"

namespace probe {
namespace {

using snap::SnapRequest;

constexpr char kDllName[] = "ProbeSnap.dll";
constexpr char kEntry[] = "SnapWindow";
constexpr DWORD kRemoteWaitMs = 10000;

bool IsWow64(HANDLE process) {
  BOOL wow = FALSE;
  return IsWow64Process(process, &wow) && wow;
}

// A block of memory in the target. Released unless a remote thread that
// may still use it was left running (Keep).
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, const void* data, SIZE_T size) : process_(process) {
    base_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T done = 0;
    if (base_ != nullptr && (!WriteProcessMemory(process, base_, data, size, &done) || done != size)) {
      VirtualFreeEx(process, base_, 0, MEM_RELEASE);
      base_ = nullptr;
    }
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory() {
    if (base_ != nullptr) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
  }
  void* get() const { return base_; }
  bool Read(void* out, SIZE_T size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, base_, out, size, &done) && done == size;
  }
  void Keep() { base_ = nullptr; }

 private:
  HANDLE process_;
  void* base_ = nullptr;
};

// Runs fn(arg) on a new thread of the target. False when the thread could
// not start or did not end in time; the thread then keeps running.
bool RunRemote(HANDLE process, const void* fn, void* arg, DWORD& exit_code, std::string& error) {
  vl::UniqueKernelHandle thread(CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(fn)), arg,
      0, nullptr));
  if (!thread.valid()) {
    error = helpers::Format("CreateRemoteThread failed: %lu", GetLastError());
    return false;
  }
  if (WaitForSingleObject(thread.get(), kRemoteWaitMs) != WAIT_OBJECT_0) {
    error = "remote thread did not finish in time";
    return false;
  }
  if (!GetExitCodeThread(thread.get(), &exit_code)) {
    error = helpers::Format("GetExitCodeThread failed: %lu", GetLastError());
    return false;
  }
  return true;
}

const wchar_t* FileName(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return path.c_str() + (slash == std::wstring::npos ? 0 : slash + 1);
}

// Base of a module in another process: the same full path wins, else the
// same file name. Toolhelp, because LoadLibrary's exit code is only the
// low 32 bits of the base on 64-bit. path: UTF-8.
HMODULE RemoteModule(DWORD pid, const std::string& path) {
  const std::wstring wide_path = vl::Wide(path);
  vl::UniqueSnapshot snap;
  for (int attempt = 0; attempt < 10 && !snap.valid(); ++attempt) {
    // Fails transiently (ERROR_BAD_LENGTH) while the target loads modules.
    snap.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snap.valid()) Sleep(20);
  }
  if (!snap.valid()) return nullptr;
  HMODULE by_name = nullptr;
  MODULEENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL more = Module32FirstW(snap.get(), &e); more; more = Module32NextW(snap.get(), &e)) {
    if (lstrcmpiW(e.szExePath, wide_path.c_str()) == 0) return e.hModule;
    if (by_name == nullptr && lstrcmpiW(e.szModule, FileName(wide_path)) == 0) by_name = e.hModule;
  }
  return by_name;
}

// A function of ours at the same offset in the target's copy of its module.
const void* RemoteAddress(DWORD pid, const void* local) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(local), &module))
    return nullptr;
  HMODULE remote = RemoteModule(pid, helpers::ModulePath(module));
  if (remote == nullptr) return nullptr;
  return reinterpret_cast<const char*>(remote) +
         (static_cast<const char*>(local) - reinterpret_cast<const char*>(module));
}

const void* Kernel32Function(const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

// The DLL loaded in the target; unloaded again on the way out unless a
// thread may still be running inside it (Keep). path: UTF-8, handed to the
// target's LoadLibraryW as UTF-16.
class RemoteLibrary {
 public:
  RemoteLibrary(HANDLE process, DWORD pid, const std::string& path)
      : process_(process), pid_(pid) {
    const std::wstring wide_path = vl::Wide(path);
    RemoteMemory arg(process, wide_path.c_str(), (wide_path.size() + 1) * sizeof(wchar_t));
    const void* load = RemoteAddress(pid, Kernel32Function("LoadLibraryW"));
    if (arg.get() == nullptr || load == nullptr) {
      error_ = "cannot prepare LoadLibraryW in the target";
      return;
    }
    DWORD ignored = 0;
    if (!RunRemote(process, load, arg.get(), ignored, error_)) {
      arg.Keep();
      return;
    }
    base_ = RemoteModule(pid, path);
    if (base_ == nullptr) error_ = "LoadLibraryW of " + path + " failed in the target";
  }
  RemoteLibrary(const RemoteLibrary&) = delete;
  RemoteLibrary& operator=(const RemoteLibrary&) = delete;
  ~RemoteLibrary() {
    const void* unload = RemoteAddress(pid_, Kernel32Function("FreeLibrary"));
    DWORD ignored = 0;
    std::string error;
    if (base_ != nullptr && unload != nullptr)
      RunRemote(process_, unload, base_, ignored, error);
  }
  HMODULE base() const { return base_; }
  const std::string& error() const { return error_; }
  void Keep() { base_ = nullptr; }

 private:
  HANDLE process_;
  DWORD pid_;
  HMODULE base_ = nullptr;
  std::string error_;
};

}  // namespace

int CmdSnap(const Args& a) {
  std::uintptr_t value = 0;
  if (a.size() != 2 || !ParseHex(a[0], value)) return kUsage;
  HWND hwnd = reinterpret_cast<HWND>(value);
  if (!IsWindow(hwnd)) return Fail(kNotFound, "no window " + a[0]);

  SnapRequest request{};
  request.hwnd = hwnd;
  wchar_t full[MAX_PATH * 2] = {};
  const DWORD n = GetFullPathNameW(vl::Wide(a[1]).c_str(), MAX_PATH * 2, full, nullptr);
  const std::string full_path = n > 0 && n < MAX_PATH * 2 ? vl::Narrow(std::wstring_view(full, n)) : "";
  if (full_path.empty() || full_path.size() >= sizeof request.path)
    return Fail(kFailed, "bad output path " + a[1]);
  std::memcpy(request.path, full_path.c_str(), full_path.size() + 1);

  const std::string dll = helpers::ExeDir() + kDllName;
  vl::UniqueModule local(LoadLibraryW(vl::Wide(dll).c_str()));
  const void* entry =
      local.get() != nullptr ? reinterpret_cast<const void*>(GetProcAddress(local.get(), kEntry))
                             : nullptr;
  if (entry == nullptr) return Fail(kFailed, "cannot load " + dll);
  const std::uintptr_t entry_offset =
      static_cast<const char*>(entry) - reinterpret_cast<const char*>(local.get());

  const DWORD pid = OwnerPid(hwnd);
  vl::UniqueKernelHandle process(OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                                PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                                PROCESS_VM_WRITE,
                                            FALSE, pid));
  if (!process.valid())
    return Fail(kFailed, helpers::Format("OpenProcess(%lu) failed: %lu", pid, GetLastError()));
  if (IsWow64(GetCurrentProcess()) != IsWow64(process.get()))
    return Fail(kFailed, "target architecture differs from the probe's; use the matching build");

  RemoteLibrary library(process.get(), pid, dll);
  if (library.base() == nullptr) return Fail(kFailed, library.error());
  RemoteMemory block(process.get(), &request, sizeof request);
  if (block.get() == nullptr) return Fail(kFailed, "cannot write the request into the target");
  DWORD code = 0;
  std::string error;
  const void* remote_entry = reinterpret_cast<const char*>(library.base()) + entry_offset;
  if (!RunRemote(process.get(), remote_entry, block.get(), code, error)) {
    block.Keep();
    library.Keep();
    return Fail(kFailed, error);
  }
  if (!block.Read(&request, sizeof request))
    return Fail(kFailed, "cannot read the result from the target");

  const char* outcome = snap::Outcome(code);
  if (code != snap::kByPrintWindow && code != snap::kByWmPrint)
    return Fail(kFailed, helpers::Format("%s (code %lu, last error %lu)",
                                         outcome != nullptr ? outcome : "unexpected result", code,
                                         request.last_error));
  Record()
      .Hwnd("hwnd", hwnd)
      .Num("width", request.width)
      .Num("height", request.height)
      .Raw("method", outcome)
      .Num("blank", request.blank)
      .Num("ok", 1)
      .Print();
  return kOk;
}

}  // namespace probe
