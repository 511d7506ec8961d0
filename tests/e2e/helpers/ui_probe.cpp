// UiProbe.exe: command-line window inspector and driver for the end-to-end
// harness. A console program, so under Wine its output reaches the Linux
// caller (as UTF-8). Run without arguments for the command list.
#include "ui_probe.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace probe {

Record& Record::Word(const char* word) {
  if (!line_.empty()) line_ += '\t';
  line_ += word;
  return *this;
}

Record& Record::Raw(const char* key, const std::string& value) {
  if (!line_.empty()) line_ += '\t';
  line_ += key;
  line_ += '=';
  line_ += value;
  return *this;
}

Record& Record::Num(const char* key, long long value) { return Raw(key, std::to_string(value)); }
Record& Record::Hex(const char* key, std::uintptr_t value) { return Raw(key, helpers::Hex(value)); }

Record& Record::Text(const char* key, const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\t')
      escaped += "\\t";
    else if (c == '\\')
      escaped += "\\\\";
    else if (c == '\r')
      escaped += "\\r";
    else if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return Raw(key, escaped);
}

void Record::Print() const {
  std::fputs(line_.c_str(), stdout);
  std::fputc('\n', stdout);
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "error=%s\n", message.c_str());
  return code;
}

bool ParseInt(const std::string& s, long long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 0);
  return end != nullptr && *end == '\0';
}

bool ParseHex(const std::string& s, std::uintptr_t& out) {
  if (s.size() < 3 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  char* end = nullptr;
  out = static_cast<std::uintptr_t>(std::strtoull(s.c_str() + 2, &end, 16));
  return end != nullptr && *end == '\0';
}

namespace {

std::wstring WideClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

}  // namespace

std::string ClassOf(HWND hwnd) { return vl::Narrow(WideClassOf(hwnd)); }

std::string CaptionOf(HWND hwnd) {
  wchar_t buf[1024] = {};
  const int n = GetWindowTextW(hwnd, buf, 1024);
  return vl::Narrow(std::wstring_view(buf, n > 0 ? n : 0));
}

std::string ControlText(HWND hwnd) {
  bool done = false;
  const LRESULT len = SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &done, 1000);
  if (!done) return CaptionOf(hwnd);
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  const LRESULT got =
      SendTimed(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &done, 1000);
  if (!done) return CaptionOf(hwnd);
  text.resize(got >= 0 && static_cast<size_t>(got) < text.size() ? static_cast<size_t>(got) : 0);
  return vl::Narrow(text);
}

DWORD OwnerPid(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::string RectText(const RECT& r) {
  return helpers::Format("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
}

bool IsClass(HWND hwnd, const wchar_t* cls) { return lstrcmpiW(WideClassOf(hwnd).c_str(), cls) == 0; }

LRESULT SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* done, UINT timeout_ms) {
  DWORD_PTR result = 0;
  const bool ok =
      SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, timeout_ms, &result) != 0;
  if (done != nullptr) *done = ok;
  return static_cast<LRESULT>(result);
}

std::string ItemText(HWND hwnd, UINT len_msg, UINT text_msg, WPARAM index) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, len_msg, index, 0, SMTO_ABORTIFHUNG, 2000, &len) ||
      static_cast<LRESULT>(len) <= 0)
    return {};
  std::wstring wide(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, text_msg, index, reinterpret_cast<LPARAM>(wide.data()),
                           SMTO_ABORTIFHUNG, 2000, &got) ||
      static_cast<LRESULT>(got) <= 0)
    return {};
  wide.resize(got < wide.size() ? got : wide.size() - 1);
  return vl::Narrow(wide);
}

namespace {

struct SubstringSearch {
  const std::string* needle;
  HWND found;
};

BOOL CALLBACK FindContaining(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<SubstringSearch*>(lp);
  if (CaptionOf(hwnd).find(*search->needle) == std::string::npos) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND FindTopLevelContaining(const std::string& needle) {
  SubstringSearch search{&needle, nullptr};
  EnumWindows(&FindContaining, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

// "&Apply" and "&&Save" as the user reads them: "Apply", "&Save".
std::string WithoutAccelerators(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size())
      ++i;
    else if (s[i] == '&')
      continue;
    out += s[i];
  }
  return out;
}

// Several pages of a dialog may reuse ids and labels; the one the user can
// see wins, then a button over other classes.
HWND BestMatch(const std::vector<HWND>& matches) {
  HWND best = nullptr;
  int best_rank = -1;
  for (HWND h : matches) {
    const int rank = (IsWindowVisible(h) ? 2 : 0) + (IsClass(h, L"Button") ? 1 : 0);
    if (rank > best_rank) {
      best = h;
      best_rank = rank;
    }
  }
  return best;
}

}  // namespace

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> all;
  EnumChildWindows(root, &CollectWindow, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND ResolveWindow(const std::string& target) {
  std::uintptr_t value = 0;
  if (ParseHex(target, value)) {
    HWND hwnd = reinterpret_cast<HWND>(value);
    return IsWindow(hwnd) ? hwnd : nullptr;
  }
  if (target.rfind("sub:", 0) == 0) return FindTopLevelContaining(target.substr(4));
  return FindWindowW(nullptr, vl::Wide(target).c_str());
}

HWND ResolveControl(HWND root, const std::string& target) {
  std::uintptr_t value = 0;
  if (ParseHex(target, value)) {
    HWND hwnd = reinterpret_cast<HWND>(value);
    return IsWindow(hwnd) ? hwnd : nullptr;
  }
  std::vector<HWND> matches;
  long long id = 0;
  const bool by_id = target.rfind("id:", 0) == 0;
  if (by_id && !ParseInt(target.substr(3), id)) return nullptr;
  const std::string wanted = WithoutAccelerators(target);
  for (HWND h : Descendants(root)) {
    if (by_id ? GetDlgCtrlID(h) == static_cast<int>(id)
              : WithoutAccelerators(ControlText(h)) == wanted)
      matches.push_back(h);
  }
  return BestMatch(matches);
}

HWND FindDescendantOfClass(HWND root, const wchar_t* cls) {
  if (IsClass(root, cls)) return root;
  for (HWND h : Descendants(root))
    if (IsClass(h, cls)) return h;
  return nullptr;
}

void PrintTopLevel(HWND hwnd, bool with_styles) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  Record rec;
  rec.Hwnd("hwnd", hwnd).Num("pid", OwnerPid(hwnd)).Text("class", ClassOf(hwnd));
  rec.Num("visible", IsWindowVisible(hwnd) ? 1 : 0).Raw("rect", RectText(r));
  if (with_styles) {
    rec.Hex("style", static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)));
    rec.Hex("exstyle", static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  }
  rec.Text("caption", CaptionOf(hwnd)).Print();
}

}  // namespace probe

namespace {

using namespace probe;

int CmdWhoAt(const Args& a) {
  long long x = 0, y = 0;
  if (a.size() != 2 || !ParseInt(a[0], x) || !ParseInt(a[1], y)) return kUsage;
  HWND hwnd = WindowFromPoint(POINT{static_cast<LONG>(x), static_cast<LONG>(y)});
  if (hwnd == nullptr) {
    Record().Hwnd("hwnd", nullptr).Print();
    return kNotFound;
  }
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  HWND root = GetAncestor(hwnd, GA_ROOT);
  Record()
      .Hwnd("hwnd", hwnd)
      .Num("pid", pid)
      .Num("tid", tid)
      .Hwnd("root", root)
      .Num("rootpid", OwnerPid(root))
      .Text("class", ClassOf(hwnd))
      .Text("caption", CaptionOf(hwnd))
      .Print();
  return kOk;
}

int CmdFind(const Args& a) {
  if (a.size() != 1) return kUsage;
  HWND hwnd = FindWindowW(nullptr, vl::Wide(a[0]).c_str());
  if (hwnd == nullptr) return Fail(kNotFound, "no window with caption " + a[0]);
  PrintTopLevel(hwnd, false);
  return kOk;
}

int CmdFindSub(const Args& a) {
  if (a.size() != 1) return kUsage;
  HWND hwnd = ResolveWindow("sub:" + a[0]);
  if (hwnd == nullptr) return Fail(kNotFound, "no window whose caption contains " + a[0]);
  PrintTopLevel(hwnd, false);
  return kOk;
}

BOOL CALLBACK PrintEach(HWND hwnd, LPARAM) {
  PrintTopLevel(hwnd, true);
  return TRUE;
}

int CmdWindows(const Args& a) {
  if (!a.empty()) return kUsage;
  EnumWindows(&PrintEach, 0);
  return kOk;
}

int CmdWait(const Args& a) {
  long long timeout = 0;
  if (a.size() != 2 || !ParseInt(a[1], timeout)) return kUsage;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout);
  for (;;) {
    if (HWND hwnd = ResolveWindow(a[0])) {
      PrintTopLevel(hwnd, false);
      return kOk;
    }
    if (GetTickCount64() >= deadline) return Fail(kNotFound, "timed out waiting for " + a[0]);
    Sleep(50);  // a console tool: polling with a sleep is fine here
  }
}

int CmdActivate(const Args& a) {
  if (a.size() != 1) return kUsage;
  HWND hwnd = ResolveWindow(a[0]);
  if (hwnd == nullptr) return Fail(kNotFound, "no window " + a[0]);
  const bool ok = SetForegroundWindow(hwnd) != 0;
  Record().Hwnd("hwnd", hwnd).Num("ok", ok).Hwnd("foreground", GetForegroundWindow()).Print();
  return ok ? kOk : kFailed;
}

int CmdClose(const Args& a) {
  if (a.size() != 1) return kUsage;
  HWND hwnd = ResolveWindow(a[0]);
  if (hwnd == nullptr) return Fail(kNotFound, "no window " + a[0]);
  const bool ok = PostMessageW(hwnd, WM_CLOSE, 0, 0) != 0;
  Record().Hwnd("hwnd", hwnd).Num("ok", ok).Print();
  return ok ? kOk : kFailed;
}

int CmdProcs(const Args& a) {
  if (!a.empty()) return kUsage;
  vl::UniqueSnapshot snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap.valid()) return Fail(kFailed, "CreateToolhelp32Snapshot failed");
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32FirstW(snap.get(), &e); more; more = Process32NextW(snap.get(), &e)) {
    Record()
        .Num("pid", e.th32ProcessID)
        .Num("ppid", e.th32ParentProcessID)
        .Num("threads", e.cntThreads)
        .Text("exe", vl::NarrowUpToNul(e.szExeFile, MAX_PATH))
        .Print();
  }
  return kOk;
}

int CmdKill(const Args& a) {
  long long pid = 0, code = 1;
  if (a.empty() || a.size() > 2 || !ParseInt(a[0], pid) || (a.size() == 2 && !ParseInt(a[1], code)))
    return kUsage;
  vl::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)));
  if (!process.valid()) return Fail(kNotFound, helpers::Format("no process %lld", pid));
  const bool ok = TerminateProcess(process.get(), static_cast<UINT>(code)) != 0;
  Record().Num("pid", pid).Num("ok", ok).Print();
  return ok ? kOk : kFailed;
}

constexpr char kUsageText[] =
    "usage: UiProbe <command> [args]   (exit 0 ok, 1 not found, 2 usage, 3 failed)\n"
    "  <window>  = 0x<hwnd> | sub:<caption part> | <exact caption>\n"
    "  <control> = 0x<hwnd> | id:<n> | <text without &>\n"
    "  whoat X Y | find <caption> | findsub <text> | windows | procs | kill <pid> [code]\n"
    "  wait <window> <timeout-ms> | tree <window> | activate <window> | close <window>\n"
    "  click <window> <control> | command <window> <id> | tab <window> <index>\n"
    "  lbselect <window> <control> <index> | cbselect <window> <control> <index>\n"
    "  lvselect <window> <index> | lvcheck <window> <index> <0|1>\n"
    "  settext <window> <control> <text> | key <window> <control> <vk>\n"
    "  focus <window> <control> | printwindow <0xhwnd> <out.bmp> [print|screen|auto]\n"
    "  snap <0xhwnd> <out.bmp>   (captured inside the owner process)\n"
    "  cmdline <pid> | mapi | loadicon <file.ico> <size>\n"
    "  resources <pid>   (handles, GDI and USER objects, windows, memory of a process)\n"
    "  serve   (commands from stdin, one a line, arguments separated by tabs; each answered by its\n"
    "           records and a line of \\x1d and its exit code)\n";

using Commands = std::map<std::string, int (*)(const Args&)>;

// Under load Wine has started a probe whose every window call answered with
// an error status instead of its result (a "visible" window 0xc000000d).
// Such a probe reports nothing: the harness starts another.
bool WindowSystemAnswers() { return !IsWindow(reinterpret_cast<HWND>(1)) && IsWindow(GetDesktopWindow()); }

int Run(const Commands& commands, const std::string& name, const Args& args) {
  const auto it = commands.find(name);
  const int code = it == commands.end() ? kUsage : it->second(args);
  if (code == kUsage) std::fputs(kUsageText, stderr);
  return code;
}

// One process for a whole scenario: starting a program under Wine costs far
// more than most commands. Ends at the end of its input, or when the window
// system stops answering (the harness then starts another).
int Serve(const Commands& commands) {
  std::string line;
  for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Args args;
    for (size_t at = 0;;) {
      const size_t tab = line.find('\t', at);
      args.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    line.clear();
    const bool answers = WindowSystemAnswers();
    const int code = answers ? Run(commands, args[0], Args(args.begin() + 1, args.end()))
                             : Fail(kNoAnswers, "the window system gives no answers in this process");
    std::fprintf(stdout, "\x1d%d\n", code);
    std::fflush(stdout);
    std::fflush(stderr);
    if (!answers) return kNoAnswers;
  }
  return kOk;
}

}  // namespace

// Captions may contain * and ?; the C runtime must not expand them as file
// name patterns.
extern "C" int _dowildcard;
int _dowildcard = 0;

// Wide arguments (linked with -municode): a caption or a path in any script
// arrives whole, whatever the ANSI code page holds.
int wmain(int argc, wchar_t** argv) {
  // "\n" only: the reader is on Linux. Bytes as they are: the text is UTF-8.
  _setmode(_fileno(stdout), _O_BINARY);
  const std::vector<std::string> args = helpers::Utf8Args(argc, argv);
  const Commands commands = {
      {"whoat", CmdWhoAt},       {"find", CmdFind},         {"findsub", CmdFindSub},
      {"windows", CmdWindows},   {"wait", CmdWait},         {"activate", CmdActivate},
      {"close", CmdClose},       {"procs", CmdProcs},       {"kill", CmdKill},
      {"tree", CmdTree},         {"click", CmdClick},       {"command", CmdCommand},
      {"tab", CmdTab},           {"lbselect", CmdLbSelect}, {"cbselect", CmdCbSelect},
      {"lvselect", CmdLvSelect}, {"lvcheck", CmdLvCheck},   {"settext", CmdSetText},
      {"key", CmdKey},           {"focus", CmdFocus},       {"printwindow", CmdPrintWindow},
      {"cmdline", CmdCmdline},   {"mapi", CmdMapi},         {"loadicon", CmdLoadIcon},
      {"snap", CmdSnap},         {"resources", CmdResources}, {"dpichange", CmdDpiChange},
  };
  if (!WindowSystemAnswers()) return Fail(kNoAnswers, "the window system gives no answers in this process");
  if (args.size() == 2 && args[1] == "serve") {
    _setmode(_fileno(stdin), _O_BINARY);
    return Serve(commands);
  }
  const int rc = args.size() >= 2 ? Run(commands, args[1], Args(args.begin() + 2, args.end())) : kUsage;
  if (args.size() < 2) std::fputs(kUsageText, stderr);
  std::fflush(stdout);
  return rc;
}
