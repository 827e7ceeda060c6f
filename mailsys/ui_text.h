// The texts of the mail system's dialogs in the user's language: English in
// the code, other languages from gettext catalogues (domain "tegamiya-mail")
// in locale/<lang>/LC_MESSAGES/ beside the library.
#pragma once

#include <vector>
#include <string>

class wxMsgCatalog;
class wxString;

namespace mailsys {

// The languages asked for, most wanted first, as gettext takes them from
// the environment: none when LC_ALL, LC_MESSAGES or LANG (the first one set)
// is empty, "C" or "POSIX"; otherwise the entries of LANGUAGE, then that
// locale name. Each name is given whole and without its ".charset" and
// "@modifier" parts, then as its bare language ("ja_JP.UTF-8" gives
// "ja_JP", "ja").
std::vector<std::string> WantedLanguages(const char *language, const char *lc_all, const char *lc_messages,
                                         const char *lang);

// The catalogue of the first wanted language that has one, read when made.
// TEGAMIYA_MAIL_LANGUAGE (a language name, e.g. "ja"), when set, is wanted
// instead of what the environment asks for.
class UiText {
public:
    UiText();
    // The text translated, or the English text when no catalogue has it.
    wxString operator()(const char *english) const;
    // The language whose catalogue is used ("" for English).
    const std::string &Language() const { return m_language; }

private:
    const wxMsgCatalog *m_catalog = nullptr;  // kept by the process
    std::string m_language;
};

}  // namespace mailsys
