// ProbeSnap.dll: UiProbe loads this into the process that owns a window and
// runs SnapWindow there, because only the owner can have the window paint
// into a DC (Wine cannot hand a DC to another process, and a child of a
// foreign window never reaches the X screen).
#include <cstring>

#include "snap_common.h"

namespace {

using namespace snap;

constexpr UINT kAnswerMs = 3000;  // the probe gives up on the whole call after 10 s
constexpr LPARAM kPrintFlags = PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CHILDREN;

DWORD Snap(SnapRequest& req) {
  RECT r{};
  if (!IsWindow(req.hwnd) || !GetWindowRect(req.hwnd, &r)) return kNoWindow;
  req.width = r.right - r.left;
  req.height = r.bottom - r.top;
  if (req.width <= 0 || req.height <= 0) return kNoWindow;

  // The window belongs to another thread of this process: make sure that
  // thread answers before PrintWindow, which would wait for it forever.
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(req.hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &ignored)) {
    req.last_error = GetLastError();
    return kNotAnswering;
  }

  BITMAPINFO bi = Bgr24(req.width, req.height);
  void* bits = nullptr;
  vl::UniqueDc dc(CreateCompatibleDC(nullptr));
  vl::UniqueBitmap bmp(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (dc.get() == nullptr || bmp.get() == nullptr) {
    req.last_error = GetLastError();
    return kNoBitmap;
  }

  DWORD result = kByPrintWindow;
  {
    vl::SelectedObject select(dc.get(), bmp.get());
    if (!PrintWindow(req.hwnd, dc.get(), 0) || AllBlack(bits, bi.bmiHeader.biSizeImage)) {
      // Ask the window itself, as PrintWindow would, but with a timeout.
      result = kByWmPrint;
      GdiFlush();
      std::memset(bits, 0, bi.bmiHeader.biSizeImage);
      if (!SendMessageTimeoutW(req.hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc.get()),
                               kPrintFlags, SMTO_ABORTIFHUNG, kAnswerMs, &ignored)) {
        req.last_error = GetLastError();
        return kNotPainted;
      }
    }
  }
  req.blank = AllBlack(bits, bi.bmiHeader.biSizeImage) ? 1 : 0;
  if (!WriteBmp(req.path, bi.bmiHeader, bits)) {
    req.last_error = GetLastError();
    return kNotWritten;
  }
  return result;
}

}  // namespace

// Runs on a thread UiProbe creates in this process; param points to a
// SnapRequest it wrote here. The exit code is a SnapResult.
extern "C" __declspec(dllexport) DWORD WINAPI SnapWindow(void* param) {
  if (param == nullptr) return kNoWindow;
  auto* req = static_cast<SnapRequest*>(param);
  req->path[sizeof req->path - 1] = '\0';
  return Snap(*req);
}
