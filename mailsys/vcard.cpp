#include "vcard.h"

#include "charset.h"
#include "cp932/cp932.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <unordered_set>

namespace mailsys {

namespace {

std::string Upper(std::string_view s)
{
    std::string u(s);
    for (auto &c : u)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return u;
}

bool IEquals(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

bool IStartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string Trim(std::string_view s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return "";
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

struct Param {
    std::string name;                 // upper case; empty for a bare 2.1 value
    std::vector<std::string> values;  // as written (quotes removed)
};

struct Property {
    std::string name;  // upper case, group prefix removed
    std::vector<Param> params;
    std::string value;  // raw, still escaped and encoded

    bool HasParamValue(std::string_view pname, std::string_view value) const
    {
        for (const auto &p : params)
            if (p.name == pname || (p.name.empty() && pname == "TYPE"))
                for (const auto &v : p.values)
                    if (IEquals(v, value))
                        return true;
        return false;
    }
    std::string ParamValue(std::string_view pname) const
    {
        for (const auto &p : params)
            if (p.name == pname && !p.values.empty())
                return p.values.front();
        return "";
    }
    bool IsQuotedPrintable() const
    {
        return HasParamValue("ENCODING", "QUOTED-PRINTABLE") || HasParamValue("TYPE", "QUOTED-PRINTABLE");
    }
};

// Splits a logical line into name, parameters and value. False if it has no
// colon outside quotes.
bool ParseProperty(std::string_view line, Property *prop)
{
    size_t i = 0;
    size_t n = line.size();
    size_t name_end = i;
    while (name_end < n && line[name_end] != ';' && line[name_end] != ':')
        ++name_end;
    if (name_end >= n)
        return false;
    std::string name = Upper(Trim(line.substr(0, name_end)));
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name = name.substr(dot + 1);  // "item1.EMAIL" -> "EMAIL"
    prop->name = name;
    prop->params.clear();
    i = name_end;
    while (i < n && line[i] == ';') {
        ++i;
        Param param;
        std::string cur;
        bool in_quotes = false;
        bool have_name = false;
        for (; i < n; ++i) {
            char c = line[i];
            if (in_quotes) {
                if (c == '"')
                    in_quotes = false;
                else
                    cur += c;
                continue;
            }
            if (c == '"') {
                in_quotes = true;
            } else if (c == '=' && !have_name) {
                param.name = Upper(Trim(cur));
                cur.clear();
                have_name = true;
            } else if (c == ',' && have_name) {
                param.values.push_back(Trim(cur));
                cur.clear();
            } else if (c == ';' || c == ':') {
                break;
            } else {
                cur += c;
            }
        }
        if (in_quotes)
            return false;
        param.values.push_back(Trim(cur));
        prop->params.push_back(std::move(param));
    }
    if (i >= n || line[i] != ':')
        return false;
    prop->value = std::string(line.substr(i + 1));
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out += s[i];
            continue;
        }
        if (i + 2 < s.size()) {
            int hi = HexValue(s[i + 1]);
            int lo = HexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        // A soft break left over, or a stray '=': keep a stray one.
        if (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n')) {
            ++i;
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            continue;
        }
        if (i + 1 == s.size())
            continue;  // soft break at the very end
        out += '=';
    }
    return out;
}

// Decodes the transfer encoding and charset of a value, leaving escapes.
std::string DecodeValue(const Property &prop)
{
    std::string raw = prop.IsQuotedPrintable() ? DecodeQuotedPrintable(prop.value) : prop.value;
    std::string charset = prop.ParamValue("CHARSET");
    if (!charset.empty())
        return CharsetToUtf8(raw, charset);
    // Phones write Shift_JIS without saying so; UTF-8 is the rule otherwise.
    if (!cp932::IsValidUtf8(raw))
        return cp932::ToUtf8(raw);
    return raw;
}

// Splits at unescaped `sep` and unescapes each piece.
std::vector<std::string> SplitUnescape(std::string_view s, char sep)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            char e = s[++i];
            parts.back() += (e == 'n' || e == 'N') ? '\n' : e;
        } else if (c == sep) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Unescape(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char e = s[++i];
            out += (e == 'n' || e == 'N') ? '\n' : e;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Collapses line breaks, other control characters (a NUL would cut the
// name short where it is handed on as a C string) and runs of blanks in a
// name to single spaces.
std::string CleanName(std::string_view s)
{
    std::string out;
    bool blank = false;
    for (char c : s) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::string StripUrn(std::string s)
{
    if (IStartsWith(s, "urn:uuid:"))
        return s.substr(9);
    return s;
}

struct EmailRank {
    std::string address;
    int rank;  // lower is preferred
    size_t order;
};

struct CardBuilder {
    Contact contact;
    std::string fn, n_name, org;
    std::vector<EmailRank> emails;

    void Add(const Property &prop)
    {
        const std::string &name = prop.name;
        if (name == "FN") {
            if (fn.empty())
                fn = CleanName(Unescape(DecodeValue(prop)));
        } else if (name == "N") {
            auto parts = SplitUnescape(DecodeValue(prop), ';');
            std::string family = Trim(parts.size() > 0 ? parts[0] : "");
            std::string given = Trim(parts.size() > 1 ? parts[1] : "");
            n_name = CleanName(given.empty() ? family : family.empty() ? given : given + " " + family);
        } else if (name == "ORG") {
            auto parts = SplitUnescape(DecodeValue(prop), ';');
            org = CleanName(parts.empty() ? "" : parts[0]);
        } else if (name == "EMAIL") {
            std::string addr = Trim(Unescape(DecodeValue(prop)));
            if (IStartsWith(addr, "mailto:"))
                addr = addr.substr(7);
            // Some exporters write "Name <user@host>".
            size_t lt = addr.rfind('<');
            if (lt != std::string::npos && addr.back() == '>')
                addr = Trim(std::string_view(addr).substr(lt + 1, addr.size() - lt - 2));
            if (addr.empty())
                return;
            int rank = 1000;
            std::string pref = prop.ParamValue("PREF");
            if (!pref.empty())
                rank = std::clamp(atoi(pref.c_str()), 1, 100);
            else if (prop.HasParamValue("TYPE", "PREF"))
                rank = 1;
            emails.push_back({addr, rank, emails.size()});
        } else if (name == "UID") {
            contact.uid = StripUrn(Trim(Unescape(DecodeValue(prop))));
        } else if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
            if (IEquals(Trim(DecodeValue(prop)), "group"))
                contact.is_group = true;
        } else if (name == "MEMBER" || name == "X-ADDRESSBOOKSERVER-MEMBER") {
            std::string m = Trim(Unescape(DecodeValue(prop)));
            if (!m.empty()) {
                contact.members.push_back(m);
                contact.is_group = true;
            }
        }
    }

    bool Finish(Contact *out)
    {
        std::stable_sort(emails.begin(), emails.end(),
                         [](const EmailRank &a, const EmailRank &b) { return a.rank < b.rank; });
        std::unordered_set<std::string> seen;
        for (auto &e : emails)
            if (seen.insert(e.address).second)
                contact.emails.push_back(e.address);
        contact.display_name = !fn.empty() ? fn : !n_name.empty() ? n_name : !org.empty() ? org
                               : contact.emails.empty() ? "" : CleanName(contact.emails.front());
        if (contact.display_name.empty())
            return false;
        *out = std::move(contact);
        return true;
    }
};

// Splits the data into logical lines: folded lines joined, quoted-printable
// soft line breaks joined.
std::vector<std::string> LogicalLines(std::string_view data)
{
    std::vector<std::string> physical;
    size_t start = 0;
    for (size_t i = 0; i <= data.size(); ++i) {
        if (i == data.size() || data[i] == '\n' || data[i] == '\r') {
            physical.emplace_back(data.substr(start, i - start));
            if (i < data.size() && data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    // Where the current logical line's colon is, and whether its name part
    // declares quoted-printable: found once, by looking only at what each
    // physical line adds, so a long folded line costs its length, not its
    // length squared.
    std::vector<std::string> lines;
    size_t colon = std::string::npos;
    bool qp = false;
    bool qp_open = false;  // the last line is quoted-printable and ends with '='
    for (auto &p : physical) {
        size_t added_at;
        if (!lines.empty() && qp_open) {
            // Soft break: drop the '=' and join (leading blanks belong to the text).
            lines.back().pop_back();
            added_at = lines.back().size();
            lines.back() += p;
        } else if (!lines.empty() && !p.empty() && (p[0] == ' ' || p[0] == '\t')) {
            added_at = lines.back().size();
            lines.back().append(p, 1);
        } else if (p.empty()) {
            qp_open = false;
            continue;
        } else {
            lines.push_back(p);
            added_at = 0;
            colon = std::string::npos;
            qp = false;
        }
        const std::string &l = lines.back();
        if (colon == std::string::npos) {
            colon = l.find(':', added_at);
            if (colon != std::string::npos)
                qp = Upper(std::string_view(l).substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
        }
        qp_open = qp && !l.empty() && l.back() == '=';
    }
    return lines;
}

}  // namespace

std::vector<Contact> ParseVCards(std::string_view data)
{
    // A UTF-8 byte order mark at the start is not part of the first line.
    if (data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF")
        data.remove_prefix(3);
    std::vector<Contact> contacts;
    int depth = 0;
    CardBuilder card;
    for (const auto &line : LogicalLines(data)) {
        Property prop;
        if (!ParseProperty(line, &prop))
            continue;
        if (prop.name == "BEGIN" && IEquals(Trim(prop.value), "VCARD")) {
            if (depth++ == 0)
                card = CardBuilder();
            continue;
        }
        if (prop.name == "END" && IEquals(Trim(prop.value), "VCARD")) {
            if (depth > 0 && --depth == 0) {
                Contact c;
                if (card.Finish(&c))
                    contacts.push_back(std::move(c));
            }
            continue;
        }
        if (depth == 1)  // nested cards (2.1 AGENT) are not contacts of their own
            card.Add(prop);
    }
    return contacts;
}

}  // namespace mailsys
