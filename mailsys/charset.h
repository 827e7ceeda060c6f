// Text in the charsets address books declare, read as UTF-8. CP932 itself
// is converted by the cp932 library (cp932/cp932.h), shared with the program.
#pragma once

#include <string>
#include <string_view>

namespace mailsys {

// Converts text in the named charset to UTF-8, tolerantly; an unknown
// charset is read as UTF-8 with bad bytes replaced. Shift_JIS and its
// aliases are read as CP932, as Japanese phones write it.
std::string CharsetToUtf8(std::string_view text, const std::string &charset);

}  // namespace mailsys
