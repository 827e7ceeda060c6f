#include "recipients.h"
#include "text_util.h"

#include "cp932/cp932.h"
#include "profile.h"

#include <glib.h>

namespace mailsys {

namespace {

std::string Unquote(std::string s)
{
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    return Trim(s);
}

bool SameAddress(const std::string &a, const std::string &b)
{
    return g_ascii_strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Splits an address field that holds several addresses ("a@x; b@y").
std::vector<std::string> SplitList(const std::string &s)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == ';' || c == ',') {
            parts.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(Trim(cur));
    return parts;
}

}  // namespace

bool ParseAddress(const std::string &text, std::string *address, std::string *name)
{
    std::string s = Trim(text);
    if (s.size() >= 5 && g_ascii_strncasecmp(s.c_str(), "SMTP:", 5) == 0)
        s = Trim(s.substr(5));
    std::string display;
    size_t lt = s.rfind('<');
    if (lt != std::string::npos && !s.empty() && s.back() == '>') {
        display = Unquote(s.substr(0, lt));
        s = Trim(s.substr(lt + 1, s.size() - lt - 2));
    }
    if (!IsPlainAddress(s))
        return false;
    *address = s;
    if (name)
        *name = display;
    return true;
}

ULONG FindOneContact(const AddressBook &book, const std::string &name, const Contact **out)
{
    auto found = book.FindByName(name);
    if (found.empty())
        return MAPI_E_UNKNOWN_RECIPIENT;
    if (found.size() > 1)
        return MAPI_E_AMBIGUOUS_RECIPIENT;
    *out = found.front();
    return SUCCESS_SUCCESS;
}

ULONG ResolveRecipients(const MapiRecipDesc *recips, ULONG count, const std::string &book_path,
                        ResolvedRecipients *out)
{
    AddressBook book;
    bool book_loaded = false;
    for (ULONG i = 0; i < count; ++i) {
        const MapiRecipDesc &r = recips[i];
        std::vector<Mailbox> *list = r.ulRecipClass == MAPI_TO ? &out->to
                                     : r.ulRecipClass == MAPI_CC ? &out->cc
                                     : r.ulRecipClass == MAPI_BCC ? &out->bcc
                                                                  : nullptr;
        if (!list)
            return MAPI_E_BAD_RECIPTYPE;
        std::string name = Trim(cp932::ToUtf8(r.lpszName ? r.lpszName : ""));
        std::string field = Trim(cp932::ToUtf8(r.lpszAddress ? r.lpszAddress : ""));
        std::string addr, shown;
        std::string name_addr;
        bool name_is_address = ParseAddress(name, &name_addr, &shown);

        if (!field.empty()) {
            if (!ParseAddress(field, &addr, nullptr)) {
                // A caller may pass a whole address line for each of its
                // recipients; the name then says which of them is meant.
                bool found = false;
                if (name_is_address)
                    for (const auto &part : SplitList(field)) {
                        std::string a;
                        if (ParseAddress(part, &a) && SameAddress(a, name_addr))
                            found = true;
                    }
                if (!found)
                    return MAPI_E_INVALID_RECIPS;
                addr = name_addr;
            }
            // A name that is itself some address is no display name.
            std::string dn = name_is_address ? shown : name;
            list->push_back({dn, addr});
            continue;
        }
        if (name.empty())
            return MAPI_E_INVALID_RECIPS;
        if (name_is_address) {
            list->push_back({shown, name_addr});
            continue;
        }
        if (!book_loaded) {
            book.Load(book_path);
            book_loaded = true;
        }
        const Contact *found = nullptr;
        if (ULONG rc = FindOneContact(book, name, &found); rc != SUCCESS_SUCCESS)
            return rc;
        const Contact &c = *found;
        if (c.is_group) {
            auto addrs = book.GroupAddresses(c);
            if (addrs.empty())
                return MAPI_E_INVALID_RECIPS;
            for (const auto &a : addrs)
                list->push_back({"", a});
            continue;
        }
        std::string a;
        if (c.emails.empty() || !ParseAddress(c.emails.front(), &a))
            return MAPI_E_INVALID_RECIPS;
        list->push_back({c.display_name, a});
    }
    if (out->to.empty() && out->cc.empty() && out->bcc.empty())
        return MAPI_E_INVALID_RECIPS;
    return SUCCESS_SUCCESS;
}

}  // namespace mailsys
