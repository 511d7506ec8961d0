// The server's certificate, checked by the system's chain engine after the
// handshake. There is no way around a refusal: the user is told what is
// wrong, in terms that let them fix the server or their trust.
#include <iterator>

#include "core/text.h"
#include "platform/unique_handle.h"
#include "watch/tls_win32.h"

namespace vl {
namespace {

struct CertificateCloser {
    decltype(&::CertFreeCertificateContext) free = nullptr;
    static PCCERT_CONTEXT Invalid() { return nullptr; }
    void operator()(PCCERT_CONTEXT c) const { free(c); }
};
using UniqueCertificate = UniqueHandle<PCCERT_CONTEXT, CertificateCloser>;

struct ChainCloser {
    decltype(&::CertFreeCertificateChain) free = nullptr;
    static PCCERT_CHAIN_CONTEXT Invalid() { return nullptr; }
    void operator()(PCCERT_CHAIN_CONTEXT c) const { free(c); }
};
using UniqueChain = UniqueHandle<PCCERT_CHAIN_CONTEXT, ChainCloser>;

// "CN=mail.example.test, O=Example", most specific part first.
std::string NameText(const CryptCalls& crypt, CERT_NAME_BLOB& name) {
    wchar_t text[256] = {};
    const DWORD n = crypt.nameToStr(X509_ASN_ENCODING, &name, CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG, text,
                                    static_cast<DWORD>(std::size(text)));
    return n > 1 ? NarrowUpToNul(text, std::size(text)) : std::string("(no name)");
}

std::string Refusal(DWORD error, const std::string& subject, const std::string& issuer, const std::string& host) {
    switch (static_cast<HRESULT>(error)) {
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_UNTRUSTEDTESTROOT:
        case CERT_E_CHAINING:
        case TRUST_E_CERT_SIGNATURE: return "certificate not trusted: " + subject + " (issued by " + issuer + ")";
        case CERT_E_CN_NO_MATCH: return "certificate is for another name: " + subject + " (not " + host + ")";
        case CERT_E_EXPIRED: return "certificate expired or not yet valid: " + subject;
        case CERT_E_WRONG_USAGE: return "certificate is not for servers: " + subject;
        case CERT_E_REVOKED: return "certificate revoked: " + subject;
        default: {
            return "certificate refused (" + HexCode(static_cast<std::uint32_t>(error)) + "): " + subject;
        }
    }
}

// The chain's own verdict, in the policy's terms. Wine 8's SSL policy
// passes a chain that ends short of any root (a partial chain): it is read
// first, and the policy adds the name check.
DWORD ChainError(DWORD status) {
    if (status & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_CYCLIC))
        return static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return static_cast<DWORD>(TRUST_E_CERT_SIGNATURE);
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return static_cast<DWORD>(CERT_E_EXPIRED);
    if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return static_cast<DWORD>(CERT_E_WRONG_USAGE);
    if (status & CERT_TRUST_IS_REVOKED) return static_cast<DWORD>(CERT_E_REVOKED);
    return 0;
}

}  // namespace

LinkError CheckServerCertificate(const CryptCalls& crypt, PSecurityFunctionTableW sspi, PCtxtHandle context,
                                 const std::wstring& host) {
    PCCERT_CONTEXT raw = nullptr;
    const SECURITY_STATUS status = sspi->QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw);
    const UniqueCertificate certificate(raw, CertificateCloser{crypt.freeCert});
    if (status != SEC_E_OK || !certificate) return {LinkFailure::kCertificate, "the server sent no certificate"};

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // The server's intermediates come from the handshake (the context's
    // store). Revocation is not asked: its lists are often out of reach, and
    // a status that cannot be known would refuse every such server.
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    if (!crypt.getChain(nullptr, certificate.get(), nullptr, certificate.get()->hCertStore, &para, 0, nullptr,
                        &rawChain))
        return {LinkFailure::kCertificate, "the certificate's chain cannot be built"};
    const UniqueChain chain(rawChain, ChainCloser{crypt.freeChain});

    std::wstring name = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbStruct = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    if (!crypt.verifyPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &verdict))
        return {LinkFailure::kCertificate, "the certificate cannot be checked"};
    DWORD error = ChainError(chain.get()->TrustStatus.dwErrorStatus);
    if (error == 0) error = verdict.dwError;
    if (error == 0) return {};
    CERT_INFO& info = *certificate.get()->pCertInfo;
    return {LinkFailure::kCertificate,
            Refusal(error, NameText(crypt, info.Subject), NameText(crypt, info.Issuer), Narrow(host))};
}

}  // namespace vl
