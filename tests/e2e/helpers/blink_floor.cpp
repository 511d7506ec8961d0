// BlinkFloor.exe PARENT X Y ICONS [still]: the least any program must do to
// blink a row of icons inside another process's window at the overlay
// timer's rhythm, the yardstick of the run-mode CPU benchmark. It creates a
// child of PARENT at X;Y, ICONS icons wide, composes their picture once, and
// every 473 ms moves it off the screen or back and copies the picture in - no
// polling, no ownership test, no settings. With "still" it only wakes at that
// rhythm. What it costs is the price of the blink (or of the wake) itself
// under Windows (or Wine).
#include "helper_common.h"
#include "platform/win32_window.h"

namespace {

constexpr wchar_t kClass[] = L"VigilumenBlinkFloor";
constexpr int kIcon = 32;
constexpr int kParked = -2000;
constexpr UINT kBlinkMs = 473;

struct Blink {
  HWND window = nullptr;
  HDC picture = nullptr;
  int left = 0, top = 0, width = 0;
  bool shown = true;
  bool still = false;
};

Blink g_blink;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
  Blink& b = g_blink;
  if (b.still) return;
  b.shown = !b.shown;
  SetWindowPos(b.window, nullptr, b.shown ? b.left : kParked, b.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  if (!b.shown) return;
  const vl::UniqueWindowDc dc = vl::GetWindowDc(b.window);
  BitBlt(dc.get(), 0, 0, b.width, kIcon, b.picture, 0, 0, SRCCOPY);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    BitBlt(dc, 0, 0, g_blink.width, kIcon, g_blink.picture, 0, 0, SRCCOPY);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &argc),
                                                            &LocalFree);
  if (!argv || argc < 5 || argc > 6) return 2;
  wchar_t** args = argv.get();
  HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(wcstoull(args[1], nullptr, 16)));
  Blink& b = g_blink;
  b.left = _wtoi(args[2]);
  b.top = _wtoi(args[3]);
  b.width = kIcon * std::max(1, _wtoi(args[4]));
  b.still = argc == 6 && wcscmp(args[5], L"still") == 0;

  if (!vl::RegisterWindowClass(instance, kClass, WndProc, {})) return 1;
  const vl::UniqueWindow window(CreateWindowExW(0, kClass, L"", WS_CHILD | WS_VISIBLE, b.left, b.top, b.width, kIcon,
                                                parent, nullptr, instance, nullptr));
  if (!window) return 1;
  b.window = window.get();

  // The picture: the system's application icon in every cell.
  const vl::UniqueWindowDc screen = vl::GetWindowDc(nullptr);
  const vl::UniqueDc memory(CreateCompatibleDC(screen.get()));
  const vl::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), b.width, kIcon));
  if (!memory || !bitmap) return 1;
  HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  PatBlt(memory.get(), 0, 0, b.width, kIcon, BLACKNESS);
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  for (int x = 0; x < b.width; x += kIcon) DrawIconEx(memory.get(), x, 0, icon, kIcon, kIcon, 0, nullptr, DI_NORMAL);
  b.picture = memory.get();

  const vl::UniqueTimer timer(SetTimer(nullptr, 0, kBlinkMs, &OnTick));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  SelectObject(memory.get(), old);
  return 0;
}
