// CarrierCheck.exe: drives the product's icon carrier in a process of its
// own, for what a real saver cannot provoke: re-parenting refused. It shows
// a stand-in saver window, builds the carrier with two icons, asks it to
// become the child of a window that does not exist, and reports the result.
//   CarrierCheck.exe <icon.ico> <stopfile>   (paths in any script)
#include "platform/win32_api.h"

#include <cstdio>
#include <string>

#include "display/icon_carrier_win32.h"
#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace {

LRESULT CALLBACK SaverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hwnd, &r);
    const vl::UniqueBrush green(CreateSolidBrush(RGB(0x20, 0x90, 0x40)));
    FillRect(reinterpret_cast<HDC>(wp), &r, green.get());
    return 1;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

// Wide arguments (linked with -municode), so no path is lost to the code page.
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::string icon_path = vl::Narrow(argv[1]);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = SaverProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"CarrierCheckSaver";
  RegisterClassW(&wc);
  vl::UniqueWindow saver(CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"CarrierCheck saver",
                                         WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                         GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr));
  SetForegroundWindow(saver.get());

  HICON fallback = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));  // any icon will do for this check
  vl::IconCarrier carrier;
  const vl::TwipsScale twips{15, 15};
  if (!carrier.CreateParked(instance, twips, false, nullptr, fallback)) return 3;
  HWND foregroundBefore = GetForegroundWindow();

  HWND missing = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffff0));  // no such window
  carrier.BecomeChildOf(missing);
  carrier.LoadElementPicture(0, icon_path);
  carrier.CreateElement(1);
  carrier.SetElementFallback(1);
  carrier.PlaceElement(1, 32, 0);
  carrier.Place(200, 150, 64, 32);

  HWND c = carrier.hwnd();
  std::printf("child=%d\tparent=0x%llx\tstyle=0x%lx\texstyle=0x%lx\tvisible=%d\tforeground_kept=%d\t"
              "point_finds_saver=%d\tcarrier=0x%llx\n",
              carrier.IsChildOfSaver() ? 1 : 0,
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetParent(c))),
              static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongW(c, GWL_EXSTYLE)), IsWindowVisible(c) ? 1 : 0,
              GetForegroundWindow() == foregroundBefore ? 1 : 0,
              WindowFromPoint(POINT{210, 160}) == saver.get() ? 1 : 0,
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(c)));
  std::fflush(stdout);

  // Stay until told to stop, so the test can look at the screen.
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  carrier.Close();
  saver.reset();
  return 0;
}
