#include "compose/mail_link.h"

#include "app/cp932.h"
#include "compose/text_file.h"

#include <vector>

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes the percent escapes stand for; nullopt for a "%" without two
// hexadecimal digits behind it.
std::optional<std::string> PercentDecode(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        int hi = i + 1 < s.size() ? HexValue(s[i + 1]) : -1;
        int lo = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

// Decoded text of a mail link: UTF-8 without NUL.
std::optional<std::string> DecodeText(std::string_view s)
{
    std::optional<std::string> text = PercentDecode(s);
    if (!text || text->find('\0') != std::string::npos || !cp932::IsValidUtf8(*text))
        return std::nullopt;
    return text;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Adds the decoded addresses of a list ("a@x,b@y") to `addresses`; false
// when one holds a control character.
bool AddAddresses(std::string_view list, std::vector<std::string> &addresses)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string_view::npos)
            comma = list.size();
        std::string_view address = TrimBlanks(list.substr(start, comma - start));
        for (char c : address)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return false;
        if (!address.empty())
            addresses.emplace_back(address);
        start = comma + 1;
    }
    return true;
}

std::string JoinAddresses(const std::vector<std::string> &addresses)
{
    std::string joined;
    for (const std::string &a : addresses) {
        if (!joined.empty())
            joined += ';';
        joined += cp932::FromUtf8(a);
    }
    return joined;
}

} // namespace

bool IsMailLink(std::string_view arg) { return StartsWithNoCase(arg, "mailto:"); }

std::optional<MailLinkFields> ParseMailLink(std::string_view link)
{
    if (!IsMailLink(link))
        return std::nullopt;
    link.remove_prefix(7);
    link = link.substr(0, link.find('#'));
    size_t question = link.find('?');
    std::string_view path = link.substr(0, question);
    std::string_view query = question == std::string_view::npos ? std::string_view() : link.substr(question + 1);

    std::vector<std::string> to, cc, bcc;
    std::optional<std::string> subject, body;
    std::optional<std::string> decoded = DecodeText(path);
    if (!decoded || !AddAddresses(*decoded, to))
        return std::nullopt;
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view field = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        size_t eq = field.find('=');
        std::optional<std::string> name = DecodeText(field.substr(0, eq));
        std::optional<std::string> value =
            DecodeText(eq == std::string_view::npos ? std::string_view() : field.substr(eq + 1));
        if (!name || !value)
            return std::nullopt;
        for (char &c : *name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        std::vector<std::string> *list = *name == "to" ? &to : *name == "cc" ? &cc : *name == "bcc" ? &bcc : nullptr;
        if (list && !AddAddresses(*value, *list))
            return std::nullopt;
        if (*name == "subject" && !subject)
            subject = std::move(*value);
        else if (*name == "body" && !body)
            body = std::move(*value);
    }

    MailLinkFields fields;
    fields.to = JoinAddresses(to);
    fields.cc = JoinAddresses(cc);
    fields.bcc = JoinAddresses(bcc);
    if (subject)
        fields.subject = cp932::FromUtf8(subject->substr(0, subject->find_first_of("\r\n")));
    if (body)
        fields.body = BodyTextFromFileBytes(std::string_view(*body).substr(0, kMaxBodyFileBytes));
    return fields;
}

std::optional<std::string> PathFromFileLink(std::string_view arg)
{
    if (!StartsWithNoCase(arg, "file://"))
        return std::nullopt;
    arg.remove_prefix(7);
    if (StartsWithNoCase(arg, "localhost/"))
        arg.remove_prefix(9);
    if (arg.empty() || arg.front() != '/')
        return std::nullopt;
    std::optional<std::string> path = PercentDecode(arg);
    if (!path || path->find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}
