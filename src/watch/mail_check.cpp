#include "watch/mail_check.h"

namespace vl {

std::optional<std::string> CheckMail(MapiPort& mapi) {
    if (!mapi.Available()) return std::nullopt;
    std::string result;
    const std::uintptr_t session = mapi.Logon();  // its return code decides nothing: the handle does
    // A handle with the sign bit set is no session. The bit is the handle's own
    // top bit: 32-bit numbers on x86, pointer-sized on x64, where a valid
    // handle may well have bit 31 set.
    if (static_cast<std::intptr_t>(session) <= 0) return result;
    if (!mapi.FindNextUnread(session).empty()) result = kMailFound;
    mapi.Logoff(session);
    return result;
}

}  // namespace vl
