// UiProbe commands that look past windows: a process's command line, the
// mail library as the product calls it, and whether Windows loads an icon.
// The mail library's calls exist only in the ANSI form; its texts are ids.
#include "ui_probe.h"

#include <cstdio>

namespace probe {
namespace {

// The few fields of the process parameters we read, at their documented
// offsets for this build's architecture (the probe always matches the
// target's architecture).
#ifdef _WIN64
constexpr size_t kPebParameters = 0x20;
constexpr size_t kParametersCommandLine = 0x70;
#else
constexpr size_t kPebParameters = 0x10;
constexpr size_t kParametersCommandLine = 0x40;
#endif

struct BasicInformation {
  LONG_PTR exitStatus;
  void* pebBaseAddress;
  ULONG_PTR affinityMask;
  LONG_PTR basePriority;
  ULONG_PTR uniqueProcessId;
  ULONG_PTR inheritedFromUniqueProcessId;
};

struct RemoteUnicodeString {
  USHORT length;
  USHORT maximumLength;
  wchar_t* buffer;
};

using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

template <typename T>
bool ReadRemote(HANDLE process, const void* at, T* out) {
  SIZE_T got = 0;
  return ReadProcessMemory(process, at, out, sizeof(T), &got) && got == sizeof(T);
}

}  // namespace

void* PebAddress(HANDLE process) {
  auto query = reinterpret_cast<NtQueryInformationProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  BasicInformation info{};
  if (!query || query(process, 0, &info, sizeof info, nullptr) != 0) return nullptr;
  return info.pebBaseAddress;
}

int CmdCmdline(const Args& a) {
  long long pid = 0;
  if (a.size() != 1 || !ParseInt(a[0], pid)) return kUsage;
  vl::UniqueKernelHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(pid)));
  if (!process.valid()) return Fail(kNotFound, helpers::Format("no process %lld", pid));
  void* peb = PebAddress(process.get());
  if (!peb) return Fail(kFailed, "NtQueryInformationProcess failed");
  void* parameters = nullptr;
  RemoteUnicodeString line{};
  if (!ReadRemote(process.get(), static_cast<char*>(peb) + kPebParameters, &parameters) ||
      !ReadRemote(process.get(), static_cast<char*>(parameters) + kParametersCommandLine, &line))
    return Fail(kFailed, "cannot read the process parameters");
  std::wstring text(line.length / sizeof(wchar_t), L'\0');
  SIZE_T got = 0;
  if (!text.empty() && !ReadProcessMemory(process.get(), line.buffer, text.data(), line.length, &got))
    return Fail(kFailed, "cannot read the command line");
  Record().Num("pid", pid).Text("cmdline", vl::Narrow(text)).Print();
  return kOk;
}

int CmdMapi(const Args& a) {
  if (!a.empty()) return kUsage;
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  const std::string path = vl::Narrow(std::wstring_view(system, n < MAX_PATH ? n : 0)) + "\\MAPI32.DLL";
  const vl::UniqueModule owned(LoadLibraryW(vl::Wide(path).c_str()));
  HMODULE mapi = owned.get();
  if (!mapi) return Fail(kNotFound, "no mail library at " + path);
  using Logon = ULONG(WINAPI*)(ULONG_PTR, LPSTR, LPSTR, ULONG, ULONG, ULONG_PTR*);
  using FindNext = ULONG(WINAPI*)(ULONG_PTR, ULONG_PTR, LPSTR, LPSTR, ULONG, ULONG, LPSTR);
  using Logoff = ULONG(WINAPI*)(ULONG_PTR, ULONG_PTR, ULONG, ULONG);
  auto logon = reinterpret_cast<Logon>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPILogon")));
  auto find = reinterpret_cast<FindNext>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPIFindNext")));
  auto logoff = reinterpret_cast<Logoff>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPILogoff")));
  if (!logon || !find || !logoff) return Fail(kFailed, "entry point missing");
  char empty1[1] = "", empty2[1] = "", empty3[1] = "", empty4[1] = "";
  ULONG_PTR session = 0;
  Record rec;
  rec.Num("logon_rc", logon(0, empty1, empty2, 0, 0, &session));
  rec.Num("session", static_cast<long long>(static_cast<LONG>(session)));
  if (static_cast<LONG>(session) > 0) {
    char id[512] = {};
    rec.Num("find_rc", find(session, 0, empty3, empty4, 0x20, 0, id));
    rec.Text("id", id);
    rec.Num("logoff_rc", logoff(session, 0, 0, 0));
  }
  rec.Print();
  return kOk;
}

int CmdLoadIcon(const Args& a) {
  long long size = 0;
  if (a.size() != 2 || !ParseInt(a[1], size)) return kUsage;
  const vl::UniqueIcon icon(static_cast<HICON>(LoadImageW(nullptr, vl::Wide(a[0]).c_str(), IMAGE_ICON,
                                                           static_cast<int>(size), static_cast<int>(size),
                                                           LR_LOADFROMFILE)));
  if (!icon) return Fail(kFailed, helpers::Format("not loadable as an icon (error %lu)", GetLastError()));
  ICONINFO info{};
  BITMAP colour{};
  const bool ok = GetIconInfo(icon.get(), &info) != 0;
  const vl::UniqueBitmap colour_bitmap(info.hbmColor);  // GetIconInfo hands over copies
  const vl::UniqueBitmap mask_bitmap(info.hbmMask);
  if (ok && colour_bitmap) GetObjectW(colour_bitmap.get(), sizeof colour, &colour);
  if (!ok) return Fail(kFailed, "GetIconInfo failed");
  Record().Num("width", colour.bmWidth).Num("height", colour.bmHeight).Num("bits", colour.bmBitsPixel).Print();
  return kOk;
}

}  // namespace probe
