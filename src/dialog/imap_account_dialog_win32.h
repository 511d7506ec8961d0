// The "IMAP account" dialog of the Polling page: the account line, its
// security and its password, with a Test that asks the server on a worker.
#pragma once

#include "platform/win32_api.h"

#include <optional>
#include <string>

namespace vl {

// Shows the dialog over `owner` for a record's text (an IMAP URL, an account
// line the user typed, or ""), and returns the record's new text (ImapUrl of
// what was chosen) on OK, nothing on Cancel. The password typed is stored on
// OK (in the Credential Manager, under the account's target); a blank
// password box keeps the stored one.
std::optional<std::string> EditImapAccount(HWND owner, HINSTANCE instance, const std::string& recordText);

}  // namespace vl
