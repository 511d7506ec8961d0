// ImapProbe.exe: the product's IMAP link on its own, and the trust a test
// authority needs in the prefix.
//   ImapProbe connect HOST PORT tls|starttls [SECONDS [STOP_AFTER_MS]]
//       Opens the link (for starttls: greeting, STARTTLS, its OK, the
//       handshake) and sends a NOOP through it. Prints "ok <the greeting>",
//       or "fail <failure>: <detail>" and exits 1. With STOP_AFTER_MS the
//       owner's stop is set that long after the start.
//   ImapProbe trust CERTFILE      adds a PEM or DER certificate to the
//   ImapProbe untrust CERTFILE    current user's Root store, or removes it
//   ImapProbe password TARGET USER PASSWORD   stores a password as the product does
//   ImapProbe password TARGET                 prints "stored" or "none"
#include <cstdio>
#include <cwchar>
#include <vector>

#include "helper_common.h"
#include "platform/credentials_win32.h"
#include "watch/imap_link_win32.h"
#include "watch/tls_win32.h"

namespace {

struct StoreCloser {
  static HCERTSTORE Invalid() { return nullptr; }
  void operator()(HCERTSTORE s) const { CertCloseStore(s, 0); }
};
struct CertificateCloser {
  static PCCERT_CONTEXT Invalid() { return nullptr; }
  void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};

int Say(const std::string& line, int code) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return code;
}

int Fail(const vl::LinkError& error) {
  return Say("fail " + std::string(vl::LinkFailureText(error.failure)) + ": " + error.detail, 1);
}

// The next line the server sends, without its CR LF.
vl::LinkError ReadLine(vl::ImapLink& link, std::string& pending, std::string& line, ULONGLONG deadline) {
  for (;;) {
    if (const size_t end = pending.find("\r\n"); end != std::string::npos) {
      line = pending.substr(0, end);
      pending.erase(0, end + 2);
      return {};
    }
    if (pending.size() > 64 * 1024) return {vl::LinkFailure::kOther, "a line longer than 64 KB"};
    if (vl::MsUntil(deadline) == 0) return {vl::LinkFailure::kTimedOut, "no whole line in time"};
    if (vl::LinkError error = link.Receive(pending, vl::MsUntil(deadline))) return error;
  }
}

// Sends a tagged command and reads up to its tagged answer, which must be OK.
vl::LinkError Command(vl::ImapLink& link, std::string& pending, const std::string& tag, const char* command,
                      ULONGLONG deadline) {
  if (vl::LinkError error = link.Send(tag + " " + command + "\r\n")) return error;
  std::string line;
  do {
    if (vl::LinkError error = ReadLine(link, pending, line, deadline)) return error;
  } while (line.rfind(tag + " ", 0) != 0);
  if (line.rfind(tag + " OK", 0) != 0) return {vl::LinkFailure::kOther, std::string(command) + " answered " + line};
  return {};
}

int Connect(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  const bool starttls = std::wcscmp(argv[4], L"starttls") == 0;
  const unsigned ms = (argc > 5 ? static_cast<unsigned>(std::wcstoul(argv[5], nullptr, 10)) : 10) * 1000;
  // Any waitable object will do as the owner's stop: a timer sets itself.
  vl::UniqueKernelHandle stop(::CreateWaitableTimerW(nullptr, TRUE, nullptr));
  if (argc > 6) {
    LARGE_INTEGER due{};
    due.QuadPart = -10000LL * std::wcstol(argv[6], nullptr, 10);
    if (!stop || !::SetWaitableTimer(stop.get(), &due, 0, nullptr, nullptr, FALSE)) return Say("fail no timer", 1);
  }
  const vl::LinkTarget target{vl::Narrow(argv[2]), static_cast<std::uint16_t>(std::wcstoul(argv[3], nullptr, 10)),
                              !starttls};
  const ULONGLONG deadline = ::GetTickCount64() + ms;
  vl::LinkError error;
  std::unique_ptr<vl::ImapLink> link = vl::OpenImapLink(target, stop.get(), ms, error);
  if (!link) return Fail(error);
  std::string pending, greeting;
  if ((error = ReadLine(*link, pending, greeting, deadline))) return Fail(error);
  if (starttls) {
    if ((error = Command(*link, pending, "a", "STARTTLS", deadline))) return Fail(error);
    if (!pending.empty()) return Say("fail bytes after the answer to STARTTLS", 1);
    if ((error = link->StartTls(vl::MsUntil(deadline)))) return Fail(error);
  }
  if ((error = Command(*link, pending, "b", "NOOP", deadline))) return Fail(error);
  return Say("ok " + greeting, 0);
}

int Trust(bool add, const wchar_t* file) {
  const std::string bytes = helpers::ReadSmallFile(vl::Narrow(file));
  std::vector<BYTE> der(bytes.begin(), bytes.end());
  if (bytes.rfind("-----BEGIN", 0) == 0) {
    // The file's own bytes: PEM is ASCII, whatever the code page.
    DWORD size = static_cast<DWORD>(bytes.size());
    if (!CryptStringToBinaryA(bytes.data(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                              &size, nullptr, nullptr))
      return Say("fail not a PEM certificate", 1);
    der.resize(size);
  }
  if (der.empty()) return Say("fail no certificate in the file", 1);
  // The current user's Root: Wine's chain engine trusts it, and adds to it
  // without asking.
  const vl::UniqueHandle<HCERTSTORE, StoreCloser> store(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root"));
  if (!store) return Say("fail Root store", 1);
  const DWORD size = static_cast<DWORD>(der.size());
  if (add)
    return CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr)
               ? Say("ok", 0)
               : Say("fail not added", 1);
  const vl::UniqueHandle<PCCERT_CONTEXT, CertificateCloser> wanted(
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
  if (!wanted) return Say("fail not a certificate", 1);
  PCCERT_CONTEXT found =
      CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted.get(), nullptr);
  if (!found) return Say("ok (not there)", 0);
  return CertDeleteCertificateFromStore(found) ? Say("ok", 0) : Say("fail not removed", 1);  // frees `found`
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"connect") == 0) return Connect(argc, argv);
  if (argc == 3 && std::wcscmp(argv[1], L"trust") == 0) return Trust(true, argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"untrust") == 0) return Trust(false, argv[2]);
  if (argc == 5 && std::wcscmp(argv[1], L"password") == 0)
    return vl::StorePassword(vl::Narrow(argv[2]), vl::Narrow(argv[3]), vl::Narrow(argv[4])) ? Say("ok", 0)
                                                                                           : Say("fail", 1);
  if (argc == 3 && std::wcscmp(argv[1], L"password") == 0)
    return Say(vl::ReadStoredPassword(vl::Narrow(argv[2])) ? "stored" : "none", 0);
  std::fprintf(stderr, "usage: ImapProbe connect HOST PORT tls|starttls [SECONDS [STOP_AFTER_MS]] | trust FILE | "
                       "untrust FILE | password TARGET [USER PASSWORD]\n");
  return 2;
}
