// TLS for the IMAP link: a Schannel client session over a byte stream of
// the link's, and the check of the server's certificate. Schannel and the
// chain engine are looked up when a session starts: secur32 and crypt32 are
// not imported, so a run or a preview never loads them.
#pragma once

#include "platform/win32_api.h"

// The security headers come after windows.h and are not part of the one
// door on purpose: only the link's files need them.
#define SECURITY_WIN32
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>

#include <string>
#include <string_view>

#include "watch/imap_link.h"

namespace vl {

// Milliseconds from now to a GetTickCount64 deadline; 0 once it has passed.
inline unsigned MsUntil(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    const ULONGLONG left = deadline > now ? deadline - now : 0;
    return static_cast<unsigned>(left < INFINITE ? left : INFINITE - 1);  // a wait, never an endless one
}

// The connection TLS runs over.
class RawStream {
public:
    // Every byte, or a failure.
    virtual LinkError SendRaw(std::string_view bytes, ULONGLONG deadline) = 0;
    // Appends at least one and at most `most` bytes, or fails.
    virtual LinkError ReceiveRaw(std::string& into, size_t most, ULONGLONG deadline) = 0;

protected:
    ~RawStream() = default;
};

// The chain engine's functions, looked up by each session for itself.
struct CryptCalls {
    decltype(&::CertFreeCertificateContext) freeCert;
    decltype(&::CertGetCertificateChain) getChain;
    decltype(&::CertFreeCertificateChain) freeChain;
    decltype(&::CertVerifyCertificateChainPolicy) verifyPolicy;
    decltype(&::CertNameToStrW) nameToStr;
    CryptCalls();
    [[nodiscard]] bool Complete() const { return freeCert && getChain && freeChain && verifyPolicy && nameToStr; }
};

// A credentials or context handle of SSPI: two pointers, released by a
// function of the table it came from.
class SecurityHandle {
public:
    using Release = SECURITY_STATUS(SEC_ENTRY*)(PSecHandle);
    SecurityHandle() = default;
    ~SecurityHandle() { Reset(); }
    SecurityHandle(const SecurityHandle&) = delete;
    SecurityHandle& operator=(const SecurityHandle&) = delete;
    [[nodiscard]] bool Valid() const { return release_ != nullptr; }
    [[nodiscard]] PSecHandle Get() { return Valid() ? &handle_ : nullptr; }
    // For a call that fills it; owned from then on.
    PSecHandle Fill(Release release) {
        Reset();
        release_ = release;
        return &handle_;
    }
    void Forget() { release_ = nullptr; }  // the call that was to fill it failed
    void Reset() {
        if (release_) release_(&handle_);
        release_ = nullptr;
    }

private:
    SecHandle handle_{};
    Release release_ = nullptr;
};

class TlsSession {
public:
    explicit TlsSession(std::string host);
    // The handshake, then the certificate check. What the server sent after
    // its last handshake message stays for Receive.
    LinkError Start(RawStream& raw, ULONGLONG deadline);
    LinkError Send(RawStream& raw, std::string_view plain, ULONGLONG deadline);
    // Appends the plain text of at least one record.
    LinkError Receive(RawStream& raw, std::string& into, ULONGLONG deadline);
    // Tells the server the session ends (close_notify); best effort.
    void Close(RawStream& raw, ULONGLONG deadline);

private:
    LinkError Negotiate(RawStream& raw, ULONGLONG deadline);
    LinkError Failure(LinkFailure failure, const char* what, SECURITY_STATUS status) const;

    std::string host_;
    std::wstring target_;  // the name Schannel sends (SNI) and the certificate is checked for
    PSecurityFunctionTableW sspi_ = nullptr;
    CryptCalls crypt_;
    SecurityHandle credentials_;
    SecurityHandle context_;
    SecPkgContext_StreamSizes sizes_{};
    std::string in_;  // received, not yet decrypted: part of a record, or records still to read
};

// The server's certificate must chain to a root this machine trusts, be
// meant for servers and name `host`.
LinkError CheckServerCertificate(const CryptCalls& crypt, PSecurityFunctionTableW sspi, PCtxtHandle context,
                                 const std::wstring& host);

}  // namespace vl
