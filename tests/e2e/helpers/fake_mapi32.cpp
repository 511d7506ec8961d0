// Fake MAPI32.DLL: answers the four Simple MAPI calls the product makes,
// driven by a state file the test rewrites at will, and logs every call so
// the test can check what the product asked for.
//   FAKE_MAPI_STATE (default C:\fake_mapi_state.txt): first word is one of
//     unread | read | nologon | zero | negative | logonfail | findfail | hang
//     (hang: MAPILogon never returns); a later word delay=MS makes every
//     call take that long first, like a busy mail client.
//   FAKE_MAPI_LOG   (default C:\fake_mapi.log)
// The Simple MAPI calls exist only in the ANSI form, so their texts stay
// narrow; the paths above are read in any script (UTF-8 in the helpers).
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "helper_common.h"

namespace {

// The Simple MAPI types, spelled out here so no MAPI header is needed.
using LHANDLE = ULONG_PTR;
using LPLHANDLE = LHANDLE*;
using FLAGS = ULONG;

constexpr ULONG SUCCESS_SUCCESS = 0;
constexpr ULONG MAPI_E_FAILURE = 2;
constexpr ULONG MAPI_E_LOGIN_FAILURE = 3;
constexpr ULONG MAPI_E_NO_MESSAGES = 16;

constexpr LHANDLE kSession = 4711;
constexpr LHANDLE kNegativeSession = 0x80000001u;  // sign bit set when seen as 32 bits
constexpr char kUnreadId[] = "00000001";
constexpr size_t kMessageIdBuffer = 512;  // what Simple MAPI callers provide

std::string EnvOr(const char* name, const char* fallback) {
  wchar_t buf[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(vl::Wide(name).c_str(), buf, MAX_PATH * 2);
  return (n > 0 && n < MAX_PATH * 2) ? vl::Narrow(std::wstring_view(buf, n)) : std::string(fallback);
}

void Log(const std::string& line) {
  helpers::AppendLine(EnvOr("FAKE_MAPI_LOG", "C:\\fake_mapi.log"), line);
}

// The state file's words, lower case.
std::vector<std::string> StateWords() {
  const std::string text =
      helpers::ReadSmallFile(EnvOr("FAKE_MAPI_STATE", "C:\\fake_mapi_state.txt"), 256);
  std::vector<std::string> words(1);
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isspace(u)) {
      if (!words.back().empty()) words.emplace_back();
      continue;
    }
    words.back() += static_cast<char>(std::tolower(u));
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

// Read on every call so a test can switch states while the product runs;
// sleeps first when the state asks for a delay.
std::string State() {
  const std::vector<std::string> words = StateWords();
  for (const std::string& word : words)
    if (word.rfind("delay=", 0) == 0) Sleep(static_cast<DWORD>(std::strtoul(word.c_str() + 6, nullptr, 10)));
  return words.empty() ? "read" : words.front();
}

std::string Quoted(const char* s) {
  if (s == nullptr) return "NULL";
  std::string quoted(1, '"');
  quoted += s;
  quoted += '"';
  return quoted;
}

unsigned long long U(ULONG_PTR v) { return static_cast<unsigned long long>(v); }

}  // namespace

extern "C" {

__declspec(dllexport) ULONG WINAPI
    MAPILogon(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, FLAGS flFlags,
              ULONG ulReserved, LPLHANDLE lplhSession) {
  Log("enter MAPILogon");  // before any delay: the test sees a check that has begun
  const std::string state = State();
  ULONG rc = SUCCESS_SUCCESS;
  LHANDLE session = kSession;
  if (state == "nologon") {
    rc = MAPI_E_LOGIN_FAILURE;
    session = 0;
  } else if (state == "logonfail") {
    rc = MAPI_E_FAILURE;
    session = 0;
  } else if (state == "zero") {
    session = 0;
  } else if (state == "negative") {
    session = kNegativeSession;
  } else if (state == "hang") {
    Log("MAPILogon hangs");
    Sleep(INFINITE);
  }
  if (lplhSession != nullptr) *lplhSession = session;
  Log(
      helpers::Format("MAPILogon ui=%llu profile=%s password=%s flags=0x%lx reserved=%lu -> rc=%lu "
                      "session=%llu",
                      U(ulUIParam), Quoted(lpszProfileName).c_str(), Quoted(lpszPassword).c_str(),
                      flFlags, ulReserved, rc, U(session)));
  return rc;
}

__declspec(dllexport) ULONG WINAPI
    MAPIFindNext(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageType,
                 LPSTR lpszSeedMessageID, FLAGS flFlags, ULONG ulReserved, LPSTR lpszMessageID) {
  const std::string state = State();
  ULONG rc = MAPI_E_NO_MESSAGES;
  const char* id = "";
  if (state == "unread") {
    rc = SUCCESS_SUCCESS;
    id = kUnreadId;
  } else if (state == "findfail") {
    rc = MAPI_E_FAILURE;
  }
  if (lpszMessageID != nullptr) lstrcpynA(lpszMessageID, id, kMessageIdBuffer);
  Log(
      helpers::Format("MAPIFindNext session=%llu ui=%llu type=%s seed=%s flags=0x%lx reserved=%lu "
                      "-> rc=%lu id=%s",
                      U(lhSession), U(ulUIParam), Quoted(lpszMessageType).c_str(),
                      Quoted(lpszSeedMessageID).c_str(), flFlags, ulReserved, rc,
                      lpszMessageID == nullptr ? "NULL" : Quoted(id).c_str()));
  return rc;
}

__declspec(dllexport) ULONG WINAPI
    MAPILogoff(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags, ULONG ulReserved) {
  Log(helpers::Format("MAPILogoff session=%llu ui=%llu flags=0x%lx reserved=%lu -> rc=0",
                      U(lhSession), U(ulUIParam), flFlags, ulReserved));
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI MAPIFreeBuffer(LPVOID pv) {
  Log(helpers::Format("MAPIFreeBuffer ptr=%s -> rc=0", helpers::Hex(pv).c_str()));
  return SUCCESS_SUCCESS;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    Log(helpers::Format("attach pid=%lu exe=%s", GetCurrentProcessId(),
                        helpers::ModulePath().c_str()));
  } else if (reason == DLL_PROCESS_DETACH) {
    // reserved is NULL for FreeLibrary and non-NULL at process exit.
    Log(helpers::Format("detach pid=%lu reason=%s", GetCurrentProcessId(),
                        reserved == nullptr ? "freelibrary" : "exit"));
  }
  return TRUE;
}

}  // extern "C"
