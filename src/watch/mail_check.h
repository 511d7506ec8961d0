// Unread mail through Simple MAPI: one logon, one find, one logoff per check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vl {

// The three Simple MAPI calls as the check makes them.
class MapiPort {
public:
    virtual ~MapiPort() = default;
    // False when the mail library or one of its entry points is missing.
    virtual bool Available() = 0;
    // MAPILogon(0, "", "", 0, 0, &session); the session handle (0 when none).
    virtual std::uintptr_t Logon() = 0;
    // MAPIFindNext(session, 0, "", "", MAPI_UNREAD_ONLY, 0, id); the id found ("" when none).
    virtual std::string FindNextUnread(std::uintptr_t session) = 0;
    virtual void Logoff(std::uintptr_t session) = 0;
};

inline constexpr char kMailFound[] = "you've got mail";

// "you've got mail" when an unread message waits, "" when none or no session;
// nothing when the library cannot be used (a failure, never a mail result).
std::optional<std::string> CheckMail(MapiPort& mapi);

}  // namespace vl
