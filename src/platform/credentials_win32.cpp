#include "platform/credentials_win32.h"

#include "platform/win32_api.h"

#include <wincred.h>

#include "core/utf.h"
#include "platform/win32_system_dll.h"
#include "platform/win32_util.h"

namespace vl {
namespace {

// The password as Windows' own tools store a generic credential: UTF-16
// without a terminator.
void Wipe(std::u16string& text) {
    ::SecureZeroMemory(text.data(), text.size() * sizeof(char16_t));
    text.clear();
}

}  // namespace

std::optional<std::string> ReadStoredPassword(const std::string& target) {
    const auto read = SystemFunction<decltype(&::CredReadW)>(L"advapi32.dll", "CredReadW");
    const auto release = SystemFunction<decltype(&::CredFree)>(L"advapi32.dll", "CredFree");
    PCREDENTIALW credential = nullptr;
    if (!read || !release || !read(Wide(target).c_str(), CRED_TYPE_GENERIC, 0, &credential)) return std::nullopt;
    std::u16string wide(reinterpret_cast<const char16_t*>(credential->CredentialBlob),
                        credential->CredentialBlobSize / sizeof(char16_t));
    ::SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    release(credential);
    std::string password = Utf8FromUtf16(wide);
    Wipe(wide);
    return password;
}

bool StorePassword(const std::string& target, const std::string& user, const std::string& password) {
    const auto write = SystemFunction<decltype(&::CredWriteW)>(L"advapi32.dll", "CredWriteW");
    if (!write) return false;
    std::wstring name = Wide(target);
    std::wstring userName = Wide(user);
    std::u16string blob = Utf16FromUtf8(password);
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = name.data();
    credential.UserName = userName.data();
    credential.CredentialBlob = reinterpret_cast<BYTE*>(blob.data());
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size() * sizeof(char16_t));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool stored = write(&credential, 0) != FALSE;
    Wipe(blob);
    return stored;
}

bool ForgetPassword(const std::string& target) {
    const auto remove = SystemFunction<decltype(&::CredDeleteW)>(L"advapi32.dll", "CredDeleteW");
    if (!remove) return false;
    return remove(Wide(target).c_str(), CRED_TYPE_GENERIC, 0) || ::GetLastError() == ERROR_NOT_FOUND;
}

}  // namespace vl
