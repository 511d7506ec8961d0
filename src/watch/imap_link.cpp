#include "watch/imap_link.h"

namespace vl {

std::string_view LinkFailureText(LinkFailure failure) {
    switch (failure) {
        case LinkFailure::kNone: return "";
        case LinkFailure::kNameNotFound: return "name not found";
        case LinkFailure::kRefused: return "refused";
        case LinkFailure::kUnreachable: return "unreachable";
        case LinkFailure::kTimedOut: return "timed out";
        case LinkFailure::kClosed: return "connection closed";
        case LinkFailure::kCertificate: return "certificate refused";
        case LinkFailure::kTls: return "TLS failed";
        case LinkFailure::kStopped: return "stopped";
        case LinkFailure::kOther: return "connection failed";
    }
    return "";
}

}  // namespace vl
