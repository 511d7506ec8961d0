// The Schannel client: handshake, records both ways, close_notify.
#include "watch/tls_win32.h"

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "platform/win32_system_dll.h"

namespace vl {
namespace {

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY | ISC_REQ_STREAM |
                           ISC_REQ_ALLOCATE_MEMORY;
// A record carries at most 16 KB and some overhead. Four of them hold any
// handshake message in flight (a long certificate chain spans records), and
// a server cannot make the link keep more.
constexpr size_t kMaxRecord = 16384 + 2048;
constexpr size_t kMaxPending = 4 * kMaxRecord;

// A token Schannel allocated (ISC_REQ_ALLOCATE_MEMORY).
class OutputToken {
public:
    explicit OutputToken(PSecurityFunctionTableW sspi) : sspi_(sspi) {}
    ~OutputToken() {
        if (buffer.pvBuffer) sspi_->FreeContextBuffer(buffer.pvBuffer);
    }
    OutputToken(const OutputToken&) = delete;
    OutputToken& operator=(const OutputToken&) = delete;
    [[nodiscard]] std::string_view Bytes() const {
        return buffer.pvBuffer ? std::string_view(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer)
                               : std::string_view();
    }

    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};

private:
    PSecurityFunctionTableW sspi_;
};

const char* Reason(SECURITY_STATUS status) {
    switch (status) {
        case SEC_E_ALGORITHM_MISMATCH: return "no TLS version or cipher in common";
        case SEC_E_ILLEGAL_MESSAGE: return "the server sent a message TLS does not allow";
        case SEC_E_DECRYPT_FAILURE:
        case SEC_E_MESSAGE_ALTERED: return "a record did not decrypt";
        case SEC_E_CERT_UNKNOWN:
        case SEC_E_UNTRUSTED_ROOT: return "the certificate was refused";
        default: return "the system's TLS failed";
    }
}

}  // namespace

CryptCalls::CryptCalls()
    : freeCert(SystemFunction<decltype(freeCert)>(L"crypt32.dll", "CertFreeCertificateContext")),
      getChain(SystemFunction<decltype(getChain)>(L"crypt32.dll", "CertGetCertificateChain")),
      freeChain(SystemFunction<decltype(freeChain)>(L"crypt32.dll", "CertFreeCertificateChain")),
      verifyPolicy(SystemFunction<decltype(verifyPolicy)>(L"crypt32.dll", "CertVerifyCertificateChainPolicy")),
      nameToStr(SystemFunction<decltype(nameToStr)>(L"crypt32.dll", "CertNameToStrW")) {}

TlsSession::TlsSession(std::string host) : host_(std::move(host)), target_(Wide(host_)) {}

LinkError TlsSession::Failure(LinkFailure failure, const char* what, SECURITY_STATUS status) const {
    return {failure, host_ + ": " + what + ": " + Reason(status) + " (" + HexCode(static_cast<std::uint32_t>(status)) + ")"};
}

LinkError TlsSession::Start(RawStream& raw, ULONGLONG deadline) {
    // One lookup gives the whole table; it lives as long as secur32, which stays loaded.
    const auto init = SystemFunction<INIT_SECURITY_INTERFACE_W>(L"secur32.dll", "InitSecurityInterfaceW");
    sspi_ = init ? init() : nullptr;
    if (!sspi_ || !crypt_.Complete()) return {LinkFailure::kTls, "the system's TLS (Schannel) is not available"};
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    // Named, because Windows 7 offers TLS 1.0 alone unless told; nothing
    // older than 1.2 is offered.
    settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // The certificate is checked after the handshake, so the user can be
    // told what is wrong with it; no client certificate is ever offered.
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry{};
    const SECURITY_STATUS status = sspi_->AcquireCredentialsHandleW(
        nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr, nullptr,
        credentials_.Fill(sspi_->FreeCredentialsHandle), &expiry);
    if (status != SEC_E_OK) {
        credentials_.Forget();
        return Failure(LinkFailure::kTls, "TLS credentials", status);
    }
    return Negotiate(raw, deadline);
}

// The handshake from where it stands: the first flight when there is no
// context yet, else the server's handshake data in `in_` (a renegotiation).
LinkError TlsSession::Negotiate(RawStream& raw, ULONGLONG deadline) {
    bool first = !context_.Valid();
    bool read = false;
    bool askedForCertificate = false;
    for (;;) {
        if (read) {
            if (in_.size() >= kMaxPending) return {LinkFailure::kTls, host_ + ": the handshake is too long"};
            if (LinkError error = raw.ReceiveRaw(in_, kMaxPending - in_.size(), deadline)) return error;
        }
        SecBuffer input[2] = {{static_cast<unsigned long>(in_.size()), SECBUFFER_TOKEN, in_.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
        OutputToken token(sspi_);
        ULONG attributes = 0;
        const SECURITY_STATUS status = sspi_->InitializeSecurityContextW(
            credentials_.Get(), first ? nullptr : context_.Get(), target_.data(), kRequest, 0, 0,
            first ? nullptr : &inputDesc, 0, first ? context_.Fill(sspi_->DeleteSecurityContext) : context_.Get(),
            &token.desc, &attributes, nullptr);
        if (first && FAILED(status)) context_.Forget();
        const bool hadInput = !first;
        first = false;
        if (FAILED(status) && status != SEC_E_INCOMPLETE_MESSAGE)
            return Failure(LinkFailure::kTls, "TLS handshake", status);
        if (!token.Bytes().empty())
            if (LinkError error = raw.SendRaw(token.Bytes(), deadline)) return error;
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            read = true;
            continue;
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // A server that asks for a client certificate gets none: once more
            // with the same input, and Schannel goes on without.
            if (askedForCertificate) return {LinkFailure::kTls, host_ + ": the server insists on a client certificate"};
            askedForCertificate = true;
            read = false;
            continue;
        }
        // What Schannel did not read belongs to the next call, or after the
        // handshake to the first record.
        if (hadInput) {
            if (input[1].BufferType == SECBUFFER_EXTRA)
                in_.erase(0, in_.size() - std::min<size_t>(input[1].cbBuffer, in_.size()));
            else
                in_.clear();
        }
        if (status == SEC_E_OK) break;
        if (status != SEC_I_CONTINUE_NEEDED) return Failure(LinkFailure::kTls, "TLS handshake", status);
        read = in_.empty();
    }
    const SECURITY_STATUS sizes = sspi_->QueryContextAttributesW(context_.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (sizes != SEC_E_OK || sizes_.cbMaximumMessage == 0) return Failure(LinkFailure::kTls, "TLS record sizes", sizes);
    return CheckServerCertificate(crypt_, sspi_, context_.Get(), target_);
}

LinkError TlsSession::Send(RawStream& raw, std::string_view plain, ULONGLONG deadline) {
    const size_t most = std::min<size_t>(plain.size(), sizes_.cbMaximumMessage);
    std::string record(sizes_.cbHeader + most + sizes_.cbTrailer, '\0');
    LinkError error;
    while (!plain.empty() && !error) {
        const size_t n = std::min(plain.size(), most);
        std::memcpy(record.data() + sizes_.cbHeader, plain.data(), n);
        SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                                {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = sspi_->EncryptMessage(context_.Get(), 0, &desc, 0);
        if (status != SEC_E_OK) {
            error = Failure(LinkFailure::kTls, "TLS record", status);
            break;
        }
        const size_t size = size_t{buffers[0].cbBuffer} + buffers[1].cbBuffer + buffers[2].cbBuffer;
        error = raw.SendRaw(std::string_view(record.data(), std::min(size, record.size())), deadline);
        plain.remove_prefix(n);
    }
    // The text may be a password: no copy of it outlives the call.
    ::SecureZeroMemory(record.data(), record.size());
    return error;
}

LinkError TlsSession::Receive(RawStream& raw, std::string& into, ULONGLONG deadline) {
    for (;;) {
        if (!in_.empty()) {
            SecBuffer buffers[4] = {{static_cast<unsigned long>(in_.size()), SECBUFFER_DATA, in_.data()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = sspi_->DecryptMessage(context_.Get(), &desc, 0, nullptr);
            if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE || status == SEC_I_CONTEXT_EXPIRED) {
                const size_t before = into.size();
                size_t extra = 0;
                for (const SecBuffer& b : buffers) {
                    if (b.BufferType == SECBUFFER_DATA && b.pvBuffer)
                        into.append(static_cast<char*>(b.pvBuffer), b.cbBuffer);
                    if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
                }
                in_.erase(0, in_.size() - std::min(extra, in_.size()));
                if (status == SEC_I_CONTEXT_EXPIRED)
                    return {LinkFailure::kClosed, host_ + ": the server ended the TLS session"};
                // New keys, a session ticket or a new handshake: the extra
                // data (possibly none) goes back to the handshake.
                if (status == SEC_I_RENEGOTIATE)
                    if (LinkError error = Negotiate(raw, deadline)) return error;
                if (into.size() > before) return {};
                continue;  // a record without text
            }
            if (status != SEC_E_INCOMPLETE_MESSAGE) return Failure(LinkFailure::kTls, "TLS record", status);
        }
        if (in_.size() >= kMaxPending) return {LinkFailure::kTls, host_ + ": a TLS record is larger than TLS allows"};
        if (LinkError error = raw.ReceiveRaw(in_, kMaxPending - in_.size(), deadline)) return error;
    }
}

void TlsSession::Close(RawStream& raw, ULONGLONG deadline) {
    if (!context_.Valid()) return;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (sspi_->ApplyControlToken(context_.Get(), &controlDesc) != SEC_E_OK) return;
    OutputToken token(sspi_);
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        sspi_->InitializeSecurityContextW(credentials_.Get(), context_.Get(), target_.data(), kRequest, 0, 0, nullptr,
                                          0, nullptr, &token.desc, &attributes, nullptr);
    // The connection ends either way: a close_notify that cannot be sent changes nothing.
    if (!FAILED(status) && !token.Bytes().empty()) (void)raw.SendRaw(token.Bytes(), deadline);
}

}  // namespace vl
