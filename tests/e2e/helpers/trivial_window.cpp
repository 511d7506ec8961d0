// TrivialWindow.exe: the least a Win32 program does, the yardstick for
// start-up times. It registers a window class, creates a hidden window of
// it and exits; nothing else, so that what it costs is Windows' (or Wine's)
// price of starting any windowed program.
#include "platform/win32_api.h"
#include "platform/win32_handles.h"

namespace {

constexpr wchar_t kClass[] = L"VigilumenTrivialWindow";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  if (RegisterClassExW(&wc) == 0) return 1;
  const vl::UniqueWindow window(CreateWindowExW(0, kClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr));
  return window ? 0 : 1;
}
