// The real implementation of the UI seam on wxWidgets, and small helpers at
// the widget edge.
#pragma once

#include "app/cp932.h"

#include <wx/string.h>

#include <string>
#include <string_view>

// Installs the wx implementation of the UI seam.
void InstallWxUi();

// CP932 bytes to a widget string, and back.
inline wxString ToWx(std::string_view cp932)
{
    return wxString::FromUTF8(cp932::ToUtf8(cp932));
}
inline std::string FromWx(const wxString &s)
{
    // wxString holds code points on this platform: no UTF-8 on the way.
    return cp932::FromWide(std::wstring_view(s.wc_str(), s.length()));
}

// The CP932 bytes of a UTF-8 literal in the program's source.
inline std::string Sjis(std::string_view utf8)
{
    return cp932::FromUtf8(utf8);
}
