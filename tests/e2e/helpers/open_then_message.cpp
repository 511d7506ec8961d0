// OpenThenMessage.exe: a window that shows an Open dialog and, once it is
// closed, a message box captioned "Probe box"; nothing else. It tells the
// scenarios what Wine itself draws after an Open dialog.
#include "helper_common.h"

namespace {

constexpr UINT kStart = WM_APP;

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
    GetOpenFileNameW(&ofn);
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
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"VigilumenOpenThenMessage";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterClassW(&wc)) return 3;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Open then message", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300,
                              150, 400, 400, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 3;
  PostMessageW(hwnd, kStart, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
