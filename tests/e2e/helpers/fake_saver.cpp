// FakeSaver.scr: stands in for the user's real screen saver in end-to-end
// tests. The product fixes its command line, so the behaviour comes from
// FakeSaver.cfg beside the executable; everything it does is appended to
// FakeSaver.log there, and FakeSaver.stop there ends it (FakeSaver.repaint
// there repaints its window once). The folder and the file name may be in
// any script: every path is UTF-8 here and wide at the Windows calls.
#include <cctype>
#include <cstdlib>
#include <string>

#include "helper_common.h"

namespace {

using helpers::Format;
using helpers::Hex;

constexpr wchar_t kControlClass[] = L"VigilumenFakeSaverControl";
constexpr wchar_t kSaverClass[] = L"VigilumenFakeSaverWindow";
constexpr wchar_t kSaverCaption[] = L"FakeSaver";

constexpr UINT_PTR kStopPollTimer = 1;
constexpr UINT_PTR kLifetimeTimer = 2;
constexpr UINT_PTR kShowTimer = 3;
constexpr UINT_PTR kSpawnTimer = 4;
constexpr UINT kStopPollMs = 50;
constexpr int kMouseSlack = 4;  // real savers ignore jitter of a few pixels

struct Config {
  COLORREF color = RGB(0x20, 0x60, 0xC0);
  bool child = false;
  DWORD child_delay_ms = 0;
  bool uncover = false;
  DWORD delay_ms = 0;
  bool touchy = false;
  DWORD lifetime_ms = 0;
  bool dpi_aware = false;  // drawn at the system's DPI instead of stretched from 96
};

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// Its files lie beside it, or in FAKE_SAVER_DIR (ending in "\\") when that
// is set: a 64-bit saver started through the 32-bit programs' alias of the
// system folder may be told that alias, which it cannot open, as its own path.
std::string FilesDir() {
  wchar_t buf[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"FAKE_SAVER_DIR", buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? vl::Narrow(std::wstring_view(buf, n)) : helpers::ExeDir();
}

// Wine's clock is the host's: a time in Unix microseconds can be set beside
// one the harness took.
unsigned long long UnixMicroseconds(const FILETIME& ft) {
  const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return ticks / 10ULL - 11644473600000000ULL;
}

FILETIME Now() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  return ft;
}

// When the system made this process: the moment its starter's CreateProcess
// ran, before any of this program's own code (or the loader's) did.
FILETIME CreatedAt() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return created;
}

bool ParseFlag(const std::string& v) { return v == "1" || v == "true" || v == "yes"; }
DWORD ParseMs(const std::string& v) {
  return static_cast<DWORD>(std::strtoul(v.c_str(), nullptr, 10));
}

COLORREF ParseColor(const std::string& v, COLORREF fallback) {
  char* end = nullptr;
  const unsigned long rgb = std::strtoul(v.c_str(), &end, 16);
  if (v.size() != 6 || end == nullptr || *end != '\0') return fallback;
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Missing file or keys keep the defaults; unknown keys are ignored so the
// harness can add comments or future settings freely.
Config LoadConfig(const std::string& path) {
  Config cfg;
  const std::string text = helpers::ReadSmallFile(path);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    const std::string line = Trim(text.substr(pos, eol - pos));
    pos = eol + 1;
    const auto eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "color")
      cfg.color = ParseColor(value, cfg.color);
    else if (key == "child")
      cfg.child = ParseFlag(value);
    else if (key == "child_delay_ms")
      cfg.child_delay_ms = ParseMs(value);
    else if (key == "uncover")
      cfg.uncover = ParseFlag(value);
    else if (key == "delay_ms")
      cfg.delay_ms = ParseMs(value);
    else if (key == "touchy")
      cfg.touchy = ParseFlag(value);
    else if (key == "lifetime_ms")
      cfg.lifetime_ms = ParseMs(value);
    else if (key == "dpi_aware")
      cfg.dpi_aware = ParseFlag(value);
  }
  return cfg;
}

std::string Describe(const Config& c) {
  return Format(
      "config color=%02X%02X%02X child=%d child_delay_ms=%lu uncover=%d delay_ms=%lu "
      "touchy=%d lifetime_ms=%lu",
      GetRValue(c.color), GetGValue(c.color), GetBValue(c.color), c.child ? 1 : 0, c.child_delay_ms,
      c.uncover ? 1 : 0, c.delay_ms, c.touchy ? 1 : 0, c.lifetime_ms);
}

class ScopedClass {
 public:
  ScopedClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HBRUSH background)
      : instance_(instance), name_(name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    atom_ = RegisterClassExW(&wc);
  }
  ScopedClass(const ScopedClass&) = delete;
  ScopedClass& operator=(const ScopedClass&) = delete;
  ~ScopedClass() {
    if (atom_ != 0) UnregisterClassW(name_, instance_);
  }
  bool ok() const { return atom_ != 0; }

 private:
  HINSTANCE instance_;
  const wchar_t* name_;
  ATOM atom_ = 0;
};

class FakeSaver {
 public:
  FakeSaver(HINSTANCE instance, const Config& cfg, bool is_child)
      : instance_(instance),
        cfg_(cfg),
        is_child_(is_child),
        dir_(FilesDir()),
        brush_(CreateSolidBrush(cfg.color)),
        control_class_(instance, kControlClass, &FakeSaver::ControlProc, nullptr),
        saver_class_(instance, kSaverClass, &FakeSaver::SaverProc, brush_.get()) {}

  int Run();

 private:
  // The process that shows the saver window: the child when child=1.
  bool ShowsWindow() const { return !cfg_.child || is_child_; }
  void Log(const std::string& line) const { helpers::AppendLine(dir_ + "FakeSaver.log", line); }

  static FakeSaver* From(HWND hwnd, UINT msg, LPARAM lp);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK SaverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleSaver(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  void OnTimer(UINT_PTR id);
  void OnStopPoll();
  void ShowSaverWindow();
  void SpawnChild();
  LRESULT OnEraseBackground(HWND hwnd, HDC dc);
  void OnActivateApp(bool active);
  void OnKey() {
    if (cfg_.touchy) Finish("key");
  }
  void OnButton() {
    if (cfg_.touchy) Finish("button");
  }
  void OnMouseMove(POINT pt);
  void Finish(const char* reason);

  HINSTANCE instance_;
  Config cfg_;
  bool is_child_;
  std::string dir_;
  vl::UniqueBrush brush_;
  ScopedClass control_class_;
  ScopedClass saver_class_;
  vl::UniqueKernelHandle child_;
  vl::UniqueWindow control_;
  vl::UniqueWindow saver_;
  bool finished_ = false;
  bool had_activation_ = false;
  bool have_first_mouse_ = false;
  POINT first_mouse_{};
};

int FakeSaver::Run() {
  if (!control_class_.ok() || !saver_class_.ok()) return 1;
  // A message-only window owns the process-level timers, so they run
  // whether or not a saver window exists yet.
  control_.reset(
      CreateWindowExW(0, kControlClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, this));
  if (control_.get() == nullptr) return 1;
  SetTimer(control_.get(), kStopPollTimer, kStopPollMs, nullptr);

  if (ShowsWindow()) {
    if (cfg_.lifetime_ms > 0) SetTimer(control_.get(), kLifetimeTimer, cfg_.lifetime_ms, nullptr);
    if (cfg_.delay_ms > 0)
      SetTimer(control_.get(), kShowTimer, cfg_.delay_ms, nullptr);
    else
      ShowSaverWindow();
  } else {
    if (cfg_.child_delay_ms > 0)
      SetTimer(control_.get(), kSpawnTimer, cfg_.child_delay_ms, nullptr);
    else
      SpawnChild();
  }

  MSG msg;
  while (!finished_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

FakeSaver* FakeSaver::From(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<FakeSaver*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return self;
  }
  return reinterpret_cast<FakeSaver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK FakeSaver::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  FakeSaver* self = From(hwnd, msg, lp);
  if (self != nullptr && msg == WM_TIMER) {
    self->OnTimer(wp);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK FakeSaver::SaverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  FakeSaver* self = From(hwnd, msg, lp);
  return self != nullptr ? self->HandleSaver(hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT FakeSaver::HandleSaver(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wp));
    case WM_ACTIVATEAPP:
      OnActivateApp(wp != FALSE);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      OnKey();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      OnButton();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
      return 0;
    case WM_CLOSE:
      Finish("close");
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void FakeSaver::OnTimer(UINT_PTR id) {
  switch (id) {
    case kStopPollTimer:
      OnStopPoll();
      break;
    case kLifetimeTimer:
      Finish("lifetime");
      break;
    case kShowTimer:
      KillTimer(control_.get(), kShowTimer);
      ShowSaverWindow();
      break;
    case kSpawnTimer:
      KillTimer(control_.get(), kSpawnTimer);
      SpawnChild();
      break;
    default:
      break;
  }
}

void FakeSaver::OnStopPoll() {
  // FakeSaver.repaint: paint the whole window again (wiping whatever others
  // drew over it), as a real saver's next frame would.
  const std::string repaint = dir_ + "FakeSaver.repaint";
  if (saver_.get() != nullptr && helpers::FileExists(repaint) && DeleteFileW(vl::Wide(repaint).c_str())) {
    RedrawWindow(saver_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Log("repainted");
  }
  if (helpers::FileExists(dir_ + "FakeSaver.stop")) {
    Finish("stopfile");
  } else if (child_.valid() && WaitForSingleObject(child_.get(), 0) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(child_.get(), &code);
    Log(Format("child exited pid=%lu code=%lu", GetProcessId(child_.get()), code));
    Finish("childexit");
  }
}

void FakeSaver::ShowSaverWindow() {
  // Every monitor, as savers cover them.
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  RECT r{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (cfg_.uncover) r = RECT{200, 200, 600, 500};  // leaves (1,1) uncovered
  saver_.reset(CreateWindowExW(WS_EX_TOPMOST, kSaverClass, kSaverCaption, WS_POPUP, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance_,
                               this));
  if (saver_.get() == nullptr) {
    Log(Format("window error=%lu", GetLastError()));
    Finish("nowindow");
    return;
  }
  Log(Format("window hwnd=%s pid=%lu", Hex(saver_.get()).c_str(), GetCurrentProcessId()));
  ShowWindow(saver_.get(), SW_SHOW);
  UpdateWindow(saver_.get());
}

void FakeSaver::SpawnChild() {
  const std::wstring exe = vl::Wide(helpers::ModulePath());
  std::wstring cmdline = L"\"" + exe + L"\" --child";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    Log(Format("spawn error=%lu", GetLastError()));
    Finish("spawnfailed");
    return;
  }
  vl::UniqueKernelHandle thread(pi.hThread);
  child_.reset(pi.hProcess);
  Log(Format("spawned child pid=%lu", pi.dwProcessId));
}

LRESULT FakeSaver::OnEraseBackground(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, brush_.get());
  return 1;
}

void FakeSaver::OnActivateApp(bool active) {
  if (active)
    had_activation_ = true;
  else if (had_activation_ && cfg_.touchy)
    Finish("deactivated");
}

void FakeSaver::OnMouseMove(POINT pt) {
  if (!have_first_mouse_) {
    have_first_mouse_ = true;
    first_mouse_ = pt;
    Log(Format("mouse first=%ld,%ld", pt.x, pt.y));
    return;
  }
  if (cfg_.touchy && (std::abs(pt.x - first_mouse_.x) > kMouseSlack ||
                      std::abs(pt.y - first_mouse_.y) > kMouseSlack)) {
    Log(Format("mouse moved to=%ld,%ld", pt.x, pt.y));
    Finish("mouse");
  }
}

void FakeSaver::Finish(const char* reason) {
  if (finished_) return;
  finished_ = true;
  Log(Format("exit reason=%s", reason));
  if (control_.get() != nullptr) KillTimer(control_.get(), kStopPollTimer);
  if (saver_.get() != nullptr) {
    // The moment the screen is given back, in Unix milliseconds (Wine's
    // clock is the host's), for measuring how fast the host notices.
    saver_.reset();
    Log(Format("window closed unix_ms=%llu", UnixMicroseconds(Now()) / 1000ULL));
  }
  PostQuitMessage(0);
}

bool HasArg(const std::vector<std::string>& args, const char* wanted) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i] == wanted) return true;
  return false;
}

// "/p 123", "-p:123", "/C" and friends: only the letter after the switch
// character matters.
char SaverSwitch(const std::vector<std::string>& args) {
  if (args.size() < 2 || args[1].size() < 2 || (args[1][0] != '/' && args[1][0] != '-')) return 0;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(args[1][1])));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const unsigned long long entered_us = UnixMicroseconds(Now());  // first: what follows takes time
  const std::string dir = FilesDir();
  const auto args = helpers::CommandLineArgs();
  const bool is_child = HasArg(args, "--child");
  const DWORD pid = GetCurrentProcessId();
  const auto log = [&dir](const std::string& line) {
    helpers::AppendLine(dir + "FakeSaver.log", line);
  };

  log(Format("start pid=%lu ppid=%lu role=%s bits=%d created_unix_us=%llu entered_unix_us=%llu cmdline=%s", pid,
             helpers::ParentPid(pid), is_child ? "child" : "main", static_cast<int>(sizeof(void*) * 8),
             UnixMicroseconds(CreatedAt()), entered_us,
             vl::Narrow(GetCommandLineW()).c_str()));
  const Config cfg = LoadConfig(dir + "FakeSaver.cfg");
  log(Describe(cfg));
  if (cfg.dpi_aware) SetProcessDPIAware();

  if (!is_child) {
    switch (SaverSwitch(args)) {
      case 'p':
        log("exit reason=preview");
        return 0;
      case 'c':
        log("exit reason=config");
        return 0;
      default:
        break;
    }
  }
  FakeSaver saver(instance, cfg, is_child);
  return saver.Run();
}
