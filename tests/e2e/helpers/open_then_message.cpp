// OpenThenMessage.exe: a window that shows an Open dialog and, once it is
// closed, a message box captioned "Probe box"; nothing else. It tells the
// scenarios what Wine itself draws after an Open dialog.
#include "helper_common.h"

#include <commdlg.h>  // after <windows.h>, which the lean build keeps it out of

namespace {

constexpr UINT kStart = WM_APP;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kStart) {
    char file[MAX_PATH] = "*.*";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = "All files\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    GetOpenFileNameA(&ofn);
    MessageBoxA(hwnd, "after the Open dialog", "Probe box", MB_OK | MB_ICONEXCLAMATION);
    DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = "VigilumenOpenThenMessage";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterClassA(&wc)) return 3;
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Open then message", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 150,
                              400, 400, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 3;
  PostMessageA(hwnd, kStart, 0, 0);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
