// UiProbe.exe: shared declarations of the window inspector/driver used by
// the end-to-end harness. Output is one record per line, TAB-separated
// key=value fields, free text last with TAB/CR/LF escaped as \t \r \n.
// Every text, printed or taken from the command line, is UTF-8; the
// windows are asked and driven through the wide calls and messages.
#pragma once

#include "platform/win32_api.h"

#include <string>
#include <vector>

#include "helper_common.h"

namespace probe {

enum ExitCode : int { kOk = 0, kNotFound = 1, kUsage = 2, kFailed = 3, kNoAnswers = 4 };

using Args = std::vector<std::string>;  // the arguments after the command name, UTF-8

class Record {
 public:
  Record& Word(const char* word);  // a bare leading tag such as "item"
  Record& Raw(const char* key, const std::string& value);
  Record& Num(const char* key, long long value);
  Record& Hex(const char* key, std::uintptr_t value);
  Record& Hwnd(const char* key, HWND hwnd) {
    return Hex(key, reinterpret_cast<std::uintptr_t>(hwnd));
  }
  Record& Text(const char* key, const std::string& text);  // escaped
  void Print() const;

 private:
  std::string line_;
};

int Fail(int code, const std::string& message);  // message to stderr, returns code

bool ParseInt(const std::string& s, long long& out);
bool ParseHex(const std::string& s, std::uintptr_t& out);

std::string ClassOf(HWND hwnd);
std::string CaptionOf(HWND hwnd);    // stored text; never sends a message
std::string ControlText(HWND hwnd);  // WM_GETTEXT, so edit contents are current
DWORD OwnerPid(HWND hwnd);
std::string RectText(const RECT& r);
bool IsClass(HWND hwnd, const wchar_t* cls);

// Sends across processes without letting a hung or modal target block the
// probe; *done tells whether the target answered in time.
LRESULT SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* done = nullptr,
                  UINT timeout_ms = 2000);
// List box / combo box item text.
std::string ItemText(HWND hwnd, UINT len_msg, UINT text_msg, WPARAM index);

// <window>: 0x<hex hwnd> | sub:<caption part> | <exact caption, any case>
HWND ResolveWindow(const std::string& target);
// <control>: 0x<hex hwnd> | id:<n> | <text, & accelerators ignored>
HWND ResolveControl(HWND root, const std::string& target);
// The root itself or its first descendant of that class.
HWND FindDescendantOfClass(HWND root, const wchar_t* cls);
std::vector<HWND> Descendants(HWND root);

// The `find` record: hwnd pid class visible rect [style exstyle] caption.
void PrintTopLevel(HWND hwnd, bool with_styles);

int CmdTree(const Args& a);
int CmdClick(const Args& a);
int CmdCommand(const Args& a);
int CmdTab(const Args& a);
int CmdDpiChange(const Args& a);
int CmdLbSelect(const Args& a);
int CmdCbSelect(const Args& a);
int CmdLvSelect(const Args& a);
int CmdLvCheck(const Args& a);
int CmdSetText(const Args& a);
int CmdKey(const Args& a);
int CmdFocus(const Args& a);
int CmdPrintWindow(const Args& a);
int CmdSnap(const Args& a);  // ui_probe_snap.cpp, with ProbeSnap.dll
int CmdCmdline(const Args& a);
int CmdMapi(const Args& a);
int CmdLoadIcon(const Args& a);
int CmdResources(const Args& a);  // ui_probe_resources.cpp

// The process environment block of another process (of this build's
// architecture); nullptr when it cannot be asked.
void* PebAddress(HANDLE process);

}  // namespace probe
