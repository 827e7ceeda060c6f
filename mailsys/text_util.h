// Small text helpers shared inside the mail library.
#pragma once

#include <string>

namespace mailsys {

// The text without leading and trailing blanks and line ends.
inline std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace mailsys
