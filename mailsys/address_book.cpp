#include "address_book.h"

#include "charset.h"
#include "fsutil.h"
#include "profile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <glib.h>

namespace mailsys {

namespace {

bool HasCardExtension(const std::string &name)
{
    std::string lower = name;
    for (auto &c : lower)
        c = static_cast<char>(g_ascii_tolower(c));
    auto ends = [&lower](const char *ext) {
        size_t n = strlen(ext);
        return lower.size() > n && lower.compare(lower.size() - n, n, ext) == 0;
    };
    return ends(".vcf") || ends(".vcard");
}

std::string StripMailto(const std::string &s)
{
    if (s.size() > 7 && g_ascii_strncasecmp(s.c_str(), "mailto:", 7) == 0)
        return s.substr(7);
    return s;
}

}  // namespace

namespace {
std::atomic<size_t> g_name_keys{0};
}  // namespace

size_t NameKeysMade() { return g_name_keys.load(); }

std::string NameKey(const std::string &utf8)
{
    ++g_name_keys;
    std::string s = utf8;
    size_t b = s.find_first_not_of(" \t\r\n");
    size_t e = s.find_last_not_of(" \t\r\n");
    s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
    if (!g_utf8_validate(s.c_str(), static_cast<gssize>(s.size()), nullptr))
        return s;
    gchar *norm = g_utf8_normalize(s.c_str(), static_cast<gssize>(s.size()), G_NORMALIZE_NFKC);
    if (!norm)
        return s;
    gchar *folded = g_utf8_casefold(norm, -1);
    std::string key = folded ? folded : norm;
    g_free(folded);
    g_free(norm);
    return key;
}

void AddressBook::LoadFile(const std::string &file)
{
    std::string data;
    if (ReadFile(file, &data) != 0)
        return;
    // Some exporters write UTF-16 with a byte order mark.
    if (data.size() >= 2 && ((data[0] == '\xFF' && data[1] == '\xFE') || (data[0] == '\xFE' && data[1] == '\xFF')))
        data = CharsetToUtf8(data, "UTF-16");
    for (auto &c : ParseVCards(data))
        m_contacts.push_back(std::move(c));
}

void AddressBook::Load(const std::string &path)
{
    m_contacts.clear();
    m_keyed = false;
    m_uid_indexed = false;
    if (path.empty())
        return;
    if (!IsDirectory(path)) {
        if (FileExists(path))
            LoadFile(path);
        return;
    }
    for (const auto &name : ListDir(path)) {
        if (name[0] == '.')
            continue;
        std::string p = path + "/" + name;
        if (IsDirectory(p)) {
            for (const auto &inner : ListDir(p))
                if (inner[0] != '.' && HasCardExtension(inner) && !IsDirectory(p + "/" + inner))
                    LoadFile(p + "/" + inner);
        } else if (HasCardExtension(name)) {
            LoadFile(p);
        }
    }
}

void AddressBook::MakeKeys() const
{
    if (m_keyed)
        return;
    m_keys.clear();
    m_by_name.clear();
    m_keys.reserve(m_contacts.size());
    for (size_t i = 0; i < m_contacts.size(); ++i) {
        const Contact &c = m_contacts[i];
        Keys k;
        k.name = NameKey(c.display_name);
        for (const auto &e : c.emails)
            k.emails.push_back(NameKey(e));
        m_by_name[k.name].push_back(i);
        m_keys.push_back(std::move(k));
    }
    m_keyed = true;
}

std::vector<const Contact *> AddressBook::FindByName(const std::string &name) const
{
    std::vector<const Contact *> found;
    std::string key = NameKey(name);
    if (key.empty())
        return found;
    MakeKeys();
    auto it = m_by_name.find(key);
    if (it != m_by_name.end())
        for (size_t i : it->second)
            found.push_back(&m_contacts[i]);
    return found;
}

std::vector<size_t> AddressBook::Search(const std::string &text) const
{
    std::string key = NameKey(text);
    MakeKeys();
    std::vector<size_t> found;
    for (size_t i = 0; i < m_keys.size(); ++i) {
        const Keys &k = m_keys[i];
        bool match = key.empty() || k.name.find(key) != std::string::npos;
        for (size_t e = 0; !match && e < k.emails.size(); ++e)
            match = k.emails[e].find(key) != std::string::npos;
        if (match)
            found.push_back(i);
    }
    return found;
}

void AddressBook::GroupAddresses(const Contact &group, std::vector<const Contact *> *seen,
                                 std::vector<std::string> *out) const
{
    if (std::find(seen->begin(), seen->end(), &group) != seen->end())
        return;  // a group that contains itself
    seen->push_back(&group);
    auto add = [out](const std::string &a) {
        if (IsPlainAddress(a) && std::find(out->begin(), out->end(), a) == out->end())
            out->push_back(a);
    };
    for (const auto &m : group.members) {
        std::string addr = StripMailto(m);
        if (addr != m || (IsPlainAddress(addr) && addr.find(':') == std::string::npos)) {
            add(addr);
            continue;
        }
        std::string uid = m.size() > 9 && g_ascii_strncasecmp(m.c_str(), "urn:uuid:", 9) == 0 ? m.substr(9) : m;
        if (!m_uid_indexed) {
            m_by_uid.clear();
            for (size_t i = 0; i < m_contacts.size(); ++i)
                if (!m_contacts[i].uid.empty())
                    m_by_uid.emplace(m_contacts[i].uid, i);  // the first of a UID
            m_uid_indexed = true;
        }
        auto it = uid.empty() ? m_by_uid.end() : m_by_uid.find(uid);
        if (it == m_by_uid.end())
            continue;
        const Contact &c = m_contacts[it->second];
        if (c.is_group)
            GroupAddresses(c, seen, out);
        else if (!c.emails.empty())
            add(c.emails.front());
    }
    // A group card may also list addresses of its own.
    for (const auto &e : group.emails)
        add(e);
}

std::vector<std::string> AddressBook::GroupAddresses(const Contact &group) const
{
    std::vector<const Contact *> seen;
    std::vector<std::string> out;
    GroupAddresses(group, &seen, &out);
    return out;
}

}  // namespace mailsys
