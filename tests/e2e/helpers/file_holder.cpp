// FileHolder.exe: keeps a file open without sharing, as an editor or a virus
// scanner may, until a stop file appears.
//   FileHolder.exe <file> <stop file>   (paths in any script)
// Prints "held" once the file is open; exits 3 when it cannot be opened.
#include <cstdio>

#include "helper_common.h"
#include "platform/win32_handles.h"

// Wide arguments (linked with -municode), so no path is lost to the code page.
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const vl::UniqueFileHandle file(::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  std::printf("held\n");
  std::fflush(stdout);
  const std::string stop = vl::Narrow(argv[2]);
  // Ten minutes at most: never outlive a crashed harness for long.
  for (int i = 0; i < 10 * 60 * 20 && !helpers::FileExists(stop); ++i) ::Sleep(50);
  return 0;
}
