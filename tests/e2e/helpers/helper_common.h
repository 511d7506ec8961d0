// Small shared pieces of the end-to-end test helpers: files beside the
// executable, append-only logging and process facts. Handles are owned by
// the product's own owners (platform/win32_handles.h). Text is UTF-8 here,
// as in the product; every Windows call takes the wide form, converted at
// the call (vl::Wide, vl::Narrow).
#pragma once

#include "platform/win32_api.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32_handles.h"

// The one function the helpers need from shellapi.h, which cannot be
// included: it declares the ANSI forms platform/win32_api.h poisons.
extern "C" __declspec(dllimport) LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR cmd_line, int* count);

namespace helpers {

// Not truncated: a line may hold long UTF-8 paths and command lines.
inline std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char* fmt, ...) {
  char buf[2048];
  va_list args;
  va_start(args, fmt);
  const int n = vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  va_start(args, fmt);
  vsnprintf(text.data(), text.size(), fmt, args);
  va_end(args);
  text.resize(static_cast<size_t>(n));
  return text;
}

// One spelling of handles and pointers for every helper, so the harness can
// compare values printed by different programs: 0x + lowercase hex.
inline std::string Hex(std::uintptr_t v) {
  return Format("0x%llx", static_cast<unsigned long long>(v));
}
inline std::string Hex(const void* p) { return Hex(reinterpret_cast<std::uintptr_t>(p)); }

// UTF-8, whatever scripts the folders and the file name are in.
inline std::string ModulePath(HMODULE module = nullptr) {
  wchar_t buf[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(module, buf, MAX_PATH * 2);
  return vl::Narrow(std::wstring_view(buf, n < MAX_PATH * 2 ? n : 0));
}

// Directory of the running executable, with a trailing backslash.
inline std::string ExeDir() {
  std::string path = ModulePath();
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

inline bool FileExists(const std::string& path) {
  return GetFileAttributesW(vl::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opens, appends, closes: several processes and a reader on the Linux side
// share the file, so nobody may hold it open between lines.
inline bool AppendLine(const std::string& path, const std::string& line) {
  vl::UniqueFileHandle file(CreateFileW(vl::Wide(path).c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  const std::string text = line + "\n";
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

// Whole file as bytes; empty when missing. Shared access so that writers
// and deleters are never blocked by a reading helper.
inline std::string ReadSmallFile(const std::string& path, DWORD limit = 64 * 1024) {
  vl::UniqueFileHandle file(CreateFileW(vl::Wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return {};
  std::string data(limit, '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), data.data(), limit, &got, nullptr)) got = 0;
  data.resize(got);
  return data;
}

// Writes beside the target and renames, so a polling reader never sees a
// half-written file.
inline bool WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string temp = path + ".tmp";
  {
    vl::UniqueFileHandle file(CreateFileW(vl::Wide(temp).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) ||
        written != content.size())
      return false;
  }
  return MoveFileExW(vl::Wide(temp).c_str(), vl::Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Parent pid as recorded by the system; 0 when the process is unknown.
inline DWORD ParentPid(DWORD pid) {
  vl::UniqueSnapshot snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap.valid()) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snap.get(), &entry); more;
       more = Process32NextW(snap.get(), &entry)) {
    if (entry.th32ProcessID == pid) return entry.th32ParentProcessID;
  }
  return 0;
}

// The command line split by the system's own rules (quotes, backslashes),
// each argument in UTF-8.
inline std::vector<std::string> CommandLineArgs() {
  std::vector<std::string> result;
  int count = 0;
  struct LocalFreer {
    void operator()(LPWSTR* p) const { LocalFree(p); }
  };
  std::unique_ptr<LPWSTR, LocalFreer> owned(CommandLineToArgvW(GetCommandLineW(), &count));
  LPWSTR* argv = owned.get();
  if (argv == nullptr) return result;
  for (int i = 0; i < count; ++i) result.push_back(vl::Narrow(argv[i]));
  return result;
}

// wmain's arguments (the programs linked with -municode), in UTF-8.
inline std::vector<std::string> Utf8Args(int argc, wchar_t** argv) {
  std::vector<std::string> result;
  for (int i = 0; i < argc; ++i) result.push_back(vl::Narrow(argv[i]));
  return result;
}

}  // namespace helpers
