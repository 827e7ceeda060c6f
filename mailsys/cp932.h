// Conversion between CP932 (Shift-JIS as callers of the mail library write
// it) and UTF-8, tolerant of bad input.
#pragma once

#include <string>
#include <string_view>

namespace mailsys {

// CP932 bytes to UTF-8. A byte sequence that is not CP932 becomes U+FFFD;
// the user-defined area F040-F9FC maps to U+E000-U+E757.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to CP932. Characters CP932 cannot hold become '?', and *lossy (when
// given) is set to true if that happened.
std::string Utf8ToCp932(std::string_view utf8, bool *lossy = nullptr);

// Converts text in the named charset to UTF-8, tolerantly; an unknown
// charset is read as UTF-8 with bad bytes replaced.
std::string CharsetToUtf8(std::string_view text, const std::string &charset);

// True when `byte` starts a double-byte CP932 character.
inline bool IsCp932Lead(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace mailsys
