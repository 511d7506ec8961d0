#include "watch/mail_check.h"

namespace vl {

std::optional<std::string> CheckMail(MapiPort& mapi) {
    if (!mapi.Available()) return std::nullopt;
    std::string result;
    const std::uintptr_t session = mapi.Logon();  // its return code decides nothing: the handle does
#ifdef _WIN64
    // A 64-bit mail system hands out pointer-sized handles: any but 0 is a session.
    if (session == 0) return result;
#else
    // The handle is a 32-bit number to the mail system; one with the sign bit set is no session.
    if (static_cast<std::int32_t>(static_cast<std::uint32_t>(session)) <= 0) return result;
#endif
    if (!mapi.FindNextUnread(session).empty()) result = kMailFound;
    mapi.Logoff(session);
    return result;
}

}  // namespace vl
