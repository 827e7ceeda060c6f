#include "ui_text.h"

#include <dlfcn.h>
#include <wx/string.h>
#include <wx/translation.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace mailsys {

namespace {

const char kDomain[] = "tegamiya-mail";

// The folder this library was loaded from.
std::string LibraryDir()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&LibraryDir), &info) || !info.dli_fname)
        return ".";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Set(const char *v) { return v && *v; }

void AddName(std::vector<std::string> *out, std::string name)
{
    size_t cut = name.find_first_of(".@");
    if (cut != std::string::npos)
        name.erase(cut);
    if (name.empty() || name == "C" || name == "POSIX")
        return;
    out->push_back(name);
    size_t under = name.find('_');
    if (under != std::string::npos)
        out->push_back(name.substr(0, under));
}

// A catalogue is read once and kept for the life of the process (wx does not
// export what deleting one needs).
const wxMsgCatalog *Catalog(const std::string &file)
{
    static std::mutex mutex;
    static auto *catalogs = new std::map<std::string, const wxMsgCatalog *>;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = catalogs->find(file);
    if (it == catalogs->end())
        it = catalogs->emplace(file, wxMsgCatalog::CreateFromFile(wxString::FromUTF8(file.c_str()), kDomain)).first;
    return it->second;
}

}  // namespace

std::vector<std::string> WantedLanguages(const char *language, const char *lc_all, const char *lc_messages,
                                         const char *lang)
{
    const char *locale = Set(lc_all) ? lc_all : Set(lc_messages) ? lc_messages : lang;
    std::vector<std::string> out;
    if (!Set(locale))
        return out;
    std::string loc = locale;
    if (loc == "C" || loc == "POSIX" || loc.rfind("C.", 0) == 0)
        return out;
    if (Set(language)) {
        std::string list = language;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            AddName(&out, list.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
    }
    AddName(&out, loc);
    return out;
}

UiText::UiText()
{
    std::string dir = LibraryDir() + "/locale/";
    // A program whose own windows speak one language (Tegamiya: Japanese)
    // names it in TEGAMIYA_MAIL_LANGUAGE, so that the dialogs and the outbox
    // window it starts match it whatever the locale; else the environment.
    const char *program = getenv("TEGAMIYA_MAIL_LANGUAGE");
    std::vector<std::string> wanted =
        program && *program ? WantedLanguages(program, program, nullptr, nullptr)
                            : WantedLanguages(getenv("LANGUAGE"), getenv("LC_ALL"), getenv("LC_MESSAGES"), getenv("LANG"));
    for (const std::string &lang : wanted) {
        if (lang == "en" || lang.rfind("en_", 0) == 0)
            return;  // English is the texts themselves
        std::string file = dir + lang + "/LC_MESSAGES/" + kDomain + ".mo";
        struct stat st;
        if (stat(file.c_str(), &st) != 0)
            continue;
        m_catalog = Catalog(file);
        if (m_catalog) {
            m_language = lang;
            return;
        }
    }
}


wxString UiText::operator()(const char *english) const
{
    wxString key = wxString::FromUTF8(english);
    if (m_catalog)
        if (const wxString *t = m_catalog->GetString(key))
            return *t;
    return key;
}

}  // namespace mailsys
