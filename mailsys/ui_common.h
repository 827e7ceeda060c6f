// Small helpers shared by the mail system's wx dialogs.
#pragma once

#include <string>
#include <wx/string.h>

class wxDialog;
class wxSizer;

namespace mailsys {

class UiText;

inline wxString U(const std::string &utf8) { return wxString::FromUTF8(utf8.c_str()); }
inline std::string S(const wxString &s) { return std::string(s.utf8_str()); }

// OK and Cancel in the dialog's language (GTK's stock labels follow the
// process locale, which a program may not have set).
wxSizer *Buttons(wxDialog *dialog, const UiText &T);

}  // namespace mailsys
