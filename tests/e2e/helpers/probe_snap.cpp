// ProbeSnap.dll: UiProbe loads this into the process that owns a window and
// runs SnapWindow there, because only the owner can have the window paint
// into a DC (Wine cannot hand a DC to another process, and a child of a
// foreign window never reaches the X screen).
#include <cstring>

#include "helper_common.h"

namespace {

// Shared with ui_probe_snap.cpp, which fills it in the target's memory;
// both builds are always of the same architecture, so the layout matches.
struct SnapRequest {
  HWND hwnd;
  LONG width;       // out
  LONG height;      // out
  LONG blank;       // out: 1 when every pixel came out black
  DWORD last_error; // out: GetLastError of the step that failed
  char path[MAX_PATH * 2];
};

// Thread exit codes; kept clear of STILL_ACTIVE (259).
enum SnapResult : DWORD {
  kByPrintWindow = 1,
  kByWmPrint = 2,
  kNoWindow = 10,
  kNotAnswering = 11,
  kNoBitmap = 12,
  kNotPainted = 13,
  kNotWritten = 14,
};

constexpr UINT kAnswerMs = 3000;  // the probe gives up on the whole call after 10 s
constexpr LPARAM kPrintFlags = PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CHILDREN;

class MemoryDC {
 public:
  MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  ~MemoryDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class Bitmap {
 public:
  explicit Bitmap(HBITMAP bmp) : bmp_(bmp) {}
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap() {
    if (bmp_ != nullptr) DeleteObject(bmp_);
  }
  HBITMAP get() const { return bmp_; }

 private:
  HBITMAP bmp_;
};

class Selection {
 public:
  Selection(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

bool AllBlack(const unsigned char* bytes, DWORD size) {
  GdiFlush();
  for (DWORD i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

bool WriteBmp(const char* path, const BITMAPINFOHEADER& info, const void* bits) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  helpers::ScopedHandle out(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD w1 = 0, w2 = 0, w3 = 0;
  return out.valid() && WriteFile(out.get(), &file, sizeof file, &w1, nullptr) &&
         WriteFile(out.get(), &info, sizeof info, &w2, nullptr) &&
         WriteFile(out.get(), bits, info.biSizeImage, &w3, nullptr) && w3 == info.biSizeImage;
}

DWORD Snap(SnapRequest& req) {
  RECT r{};
  if (!IsWindow(req.hwnd) || !GetWindowRect(req.hwnd, &r)) return kNoWindow;
  req.width = r.right - r.left;
  req.height = r.bottom - r.top;
  if (req.width <= 0 || req.height <= 0) return kNoWindow;

  // The window belongs to another thread of this process: make sure that
  // thread answers before PrintWindow, which would wait for it forever.
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(req.hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &ignored)) {
    req.last_error = GetLastError();
    return kNotAnswering;
  }

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = req.width;
  bi.bmiHeader.biHeight = req.height;  // bottom-up, as BMP files store rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  bi.bmiHeader.biSizeImage = ((static_cast<DWORD>(req.width) * 3 + 3) & ~3u) * req.height;
  void* bits = nullptr;
  MemoryDC dc;
  Bitmap bmp(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (dc.get() == nullptr || bmp.get() == nullptr) {
    req.last_error = GetLastError();
    return kNoBitmap;
  }
  const auto* bytes = static_cast<const unsigned char*>(bits);

  DWORD result = kByPrintWindow;
  {
    Selection select(dc.get(), bmp.get());
    if (!PrintWindow(req.hwnd, dc.get(), 0) || AllBlack(bytes, bi.bmiHeader.biSizeImage)) {
      // Ask the window itself, as PrintWindow would, but with a timeout.
      result = kByWmPrint;
      GdiFlush();
      std::memset(bits, 0, bi.bmiHeader.biSizeImage);
      if (!SendMessageTimeoutA(req.hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc.get()),
                               kPrintFlags, SMTO_ABORTIFHUNG, kAnswerMs, &ignored)) {
        req.last_error = GetLastError();
        return kNotPainted;
      }
    }
  }
  req.blank = AllBlack(bytes, bi.bmiHeader.biSizeImage) ? 1 : 0;
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
