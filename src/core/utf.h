// UTF-8 inside the program, UTF-16 at the Windows boundary. Broken input
// (a stray byte, an unpaired surrogate) becomes U+FFFD, never a failure: a
// window caption is whatever another program put there.
#pragma once

#include <string>
#include <string_view>

namespace vl {

std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

// At most `units` UTF-16 units of the text (Windows' measure of a text's
// length), never half a character.
std::string Utf8Prefix(std::string_view utf8, size_t units);

// A whole text file as UTF-16LE behind a byte-order mark, the form the
// profile calls of every Windows version read and keep.
std::string Utf16LeFileBytes(std::string_view utf8);

// The text of a file's bytes: UTF-16LE behind its mark decoded, a UTF-8 mark
// dropped, anything else returned as it is.
std::string TextOfFileBytes(std::string_view bytes);

}  // namespace vl
