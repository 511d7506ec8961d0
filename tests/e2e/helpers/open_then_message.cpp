// OpenThenMessage.exe [--no-open] [--size N]: a window of N x N pixels (400
// by default) that shows an Open dialog (unless --no-open) and then a
// message box captioned "Probe box"; nothing else. It tells the scenarios
// which message boxes Wine itself leaves undrawn.
#include "helper_common.h"

namespace {

constexpr UINT kStart = WM_APP;
bool g_open = true;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kStart) {
    wchar_t file[MAX_PATH] = L"*.*";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = L"All files\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (g_open) GetOpenFileNameW(&ofn);
    MessageBoxW(hwnd, L"after the Open dialog", L"Probe box", MB_OK | MB_ICONEXCLAMATION);
    DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int size = 400;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) {
    if (lstrcmpW(argv[i], L"--no-open") == 0) g_open = false;
    if (lstrcmpW(argv[i], L"--size") == 0 && i + 1 < argc) size = _wtoi(argv[++i]);
  }
  if (argv) LocalFree(argv);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"VigilumenOpenThenMessage";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterClassW(&wc)) return 3;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Open then message", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300,
                              150, size, size, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 3;
  PostMessageW(hwnd, kStart, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
