// CaptionWindow.exe: a top-level window with a caption chosen by the test,
// for checks that look windows up by caption.
//   CaptionWindow.exe --caption <text> --stop <file> [--ready <file>] [--visible]
// The caption is taken exactly as given, in any script (UTF-16 on the window).
#include <string>

#include "helper_common.h"

namespace {

constexpr wchar_t kClass[] = L"VigilumenCaptionWindow";
constexpr UINT_PTR kStopPollTimer = 1;
constexpr UINT_PTR kSafetyTimer = 2;
constexpr UINT kStopPollMs = 50;
constexpr UINT kSafetyMs = 10 * 60 * 1000;  // never outlive a crashed harness for long

constexpr int kExitOk = 0;
constexpr int kExitSafetyNet = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 3;

struct Options {
  std::string caption;
  std::string stop_file;
  std::string ready_file;
  bool visible = false;
  bool have_caption = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& out) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--caption" && has_value) {
      out.caption = args[++i];
      out.have_caption = true;
    } else if (a == "--stop" && has_value) {
      out.stop_file = args[++i];
    } else if (a == "--ready" && has_value) {
      out.ready_file = args[++i];
    } else if (a == "--visible") {
      out.visible = true;
    } else {
      return false;
    }
  }
  return out.have_caption && !out.stop_file.empty();
}

class CaptionWindow {
 public:
  explicit CaptionWindow(const Options& opts) : opts_(opts) {}
  CaptionWindow(const CaptionWindow&) = delete;
  CaptionWindow& operator=(const CaptionWindow&) = delete;
  ~CaptionWindow() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    if (registered_) UnregisterClassW(kClass, GetModuleHandleW(nullptr));
  }

  int Run() {
    if (!Create()) return kExitFailure;
    if (!opts_.ready_file.empty() &&
        !helpers::WriteFileAtomically(opts_.ready_file, std::to_string(GetCurrentProcessId())))
      return kExitFailure;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return exit_code_;
  }

 private:
  bool Create() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CaptionWindow::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    registered_ = RegisterClassExW(&wc) != 0;
    if (!registered_) return false;
    hwnd_ = CreateWindowExW(0, kClass, vl::Wide(opts_.caption).c_str(), WS_OVERLAPPEDWINDOW, 100, 100,
                            320, 200, nullptr, nullptr, wc.hInstance, this);
    if (hwnd_ == nullptr) return false;
    SetTimer(hwnd_, kStopPollTimer, kStopPollMs, nullptr);
    SetTimer(hwnd_, kSafetyTimer, kSafetyMs, nullptr);
    if (opts_.visible) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    return true;
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* self =
          static_cast<CaptionWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CaptionWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg == WM_TIMER) {
      self->OnTimer(wp);
      return 0;
    }
    if (self != nullptr && msg == WM_DESTROY) {
      self->OnDestroy();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  void OnTimer(UINT_PTR id) {
    if (id == kStopPollTimer && helpers::FileExists(opts_.stop_file)) {
      Quit(kExitOk);
    } else if (id == kSafetyTimer) {
      Quit(kExitSafetyNet);
    }
  }

  // Closing the window (WM_CLOSE from a test) also ends the program.
  void OnDestroy() {
    hwnd_ = nullptr;
    PostQuitMessage(exit_code_);
  }

  void Quit(int code) {
    exit_code_ = code;
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }

  Options opts_;
  HWND hwnd_ = nullptr;
  bool registered_ = false;
  int exit_code_ = kExitOk;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Options opts;
  if (!ParseOptions(helpers::CommandLineArgs(), opts)) return kExitUsage;
  CaptionWindow window(opts);
  return window.Run();
}
