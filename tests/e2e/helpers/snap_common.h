// What UiProbe's two ways of capturing a window share: the request it hands
// to ProbeSnap.dll in the target's memory, the DLL's answers, and writing the
// pixels out as a 24-bit BMP file.
#pragma once

#include <string>

#include "helper_common.h"

namespace snap {

// Filled by UiProbe in the target's memory. Probe and DLL are always built
// for the same architecture, so the layout matches on both sides.
struct SnapRequest {
  HWND hwnd;
  LONG width;        // out
  LONG height;       // out
  LONG blank;        // out: 1 when every pixel came out black
  DWORD last_error;  // out: GetLastError of the step that failed
  char path[MAX_PATH * 4];  // UTF-8: room for a full path of MAX_PATH wide characters in any script
};

// SnapWindow's thread exit codes; kept clear of STILL_ACTIVE (259).
enum SnapResult : DWORD {
  kByPrintWindow = 1,
  kByWmPrint = 2,
  kNoWindow = 10,
  kNotAnswering = 11,
  kNoBitmap = 12,
  kNotPainted = 13,
  kNotWritten = 14,
};

inline const char* Outcome(DWORD code) {
  switch (code) {
    case kByPrintWindow: return "print";
    case kByWmPrint: return "wmprint";
    case kNoWindow: return "window gone or empty in its own process";
    case kNotAnswering: return "the window's thread does not answer";
    case kNoBitmap: return "cannot create the bitmap";
    case kNotPainted: return "WM_PRINT was not answered";
    case kNotWritten: return "cannot write the output file";
    default: return nullptr;
  }
}

// A bottom-up 24-bit DIB of the window's size, rows as BMP files store them.
inline BITMAPINFO Bgr24(LONG width, LONG height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  bi.bmiHeader.biSizeImage = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);
  return bi;
}

// A capture that failed silently comes out all black.
inline bool AllBlack(const void* bits, DWORD size) {
  GdiFlush();
  const auto* bytes = static_cast<const unsigned char*>(bits);
  for (DWORD i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

// path: UTF-8.
inline bool WriteBmp(const std::string& path, const BITMAPINFOHEADER& info, const void* bits) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  vl::UniqueFileHandle out(CreateFileW(vl::Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD w1 = 0, w2 = 0, w3 = 0;
  return out.valid() && WriteFile(out.get(), &file, sizeof file, &w1, nullptr) &&
         WriteFile(out.get(), &info, sizeof info, &w2, nullptr) &&
         WriteFile(out.get(), bits, info.biSizeImage, &w3, nullptr) && w3 == info.biSizeImage;
}

}  // namespace snap
