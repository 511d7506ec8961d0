// Passwords kept by Windows' Credential Manager: generic credentials of the
// current user, on this machine only. Never in the settings file, never in
// the log. advapi32 is looked up at first use, like every DLL only some
// modes need.
#pragma once

#include <optional>
#include <string>

namespace vl {

// Nothing when none is stored or the store cannot be read.
std::optional<std::string> ReadStoredPassword(const std::string& target);
bool StorePassword(const std::string& target, const std::string& user, const std::string& password);
// True when the credential is gone, or was never there.
bool ForgetPassword(const std::string& target);

}  // namespace vl
