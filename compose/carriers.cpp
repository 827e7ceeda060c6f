#include "compose/carriers.h"

#include "app/cp932.h"
#include "app/profile.h"

#include <functional>

const CarrierDefault kDefaultCarriers[8] = {
    {"DoCoMo i-mode", "5000"}, {"J-phone", "3000"}, {"vodafon", "192"}, {"TU-KA", "5000"},
    {"au", "5000"},            {"H\"", "2420"},     {"ASTEL", "470"},   {"PC", "10000"},
};

const MailDomainDefault kDefaultMailDomains[6] = {
    {"docomo.ne.jp", "DoCoMo i-mode"},   {"ezweb.ne.jp", "au"},   {"jp-*.ne.jp", "J-phone"},
    {"*.vodafone.ne.jp", "vodafon"},     {"sky.tu-ka.ne.jp", "TU-KA"}, {"pdx.ne.jp", "H\""},
};

namespace {

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool MailDomainMatches(std::string_view key, std::string_view domain)
{
    // Backtracking match; "*" takes one or more characters that are not ".".
    std::function<bool(size_t, size_t)> match = [&](size_t k, size_t d) -> bool {
        if (k == key.size())
            return d == domain.size();
        if (key[k] == '*') {
            for (size_t e = d; e < domain.size() && domain[e] != '.'; ++e)
                if (match(k + 1, e + 1))
                    return true;
            return false;
        }
        return d < domain.size() && FoldAscii(key[k]) == FoldAscii(domain[d]) && match(k + 1, d + 1);
    };
    return !key.empty() && match(0, 0);
}

std::optional<size_t> FindMailDomainKey(const std::vector<std::string> &keys, std::string_view domain)
{
    for (size_t i = 0; i < keys.size(); ++i)
        if (MailDomainMatches(keys[i], domain))
            return i;
    return std::nullopt;
}

std::optional<std::string_view> MailDomainOf(std::string_view address)
{
    size_t at = address.find('@');
    if (at == std::string_view::npos)
        return std::nullopt;
    return address.substr(at + 1);
}

std::optional<size_t> FindPrefixNoCase(const std::vector<std::string> &items, std::string_view prefix)
{
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string &item = items[i];
        if (item.size() < prefix.size())
            continue;
        // Compare character by character so that the trail byte of a
        // double-byte character is never folded.
        bool same = true;
        for (size_t k = 0; k < prefix.size() && same;) {
            if (cp932::IsLeadByte(static_cast<unsigned char>(prefix[k])) && k + 1 < prefix.size()) {
                same = item[k] == prefix[k] && item[k + 1] == prefix[k + 1];
                k += 2;
            } else {
                same = FoldAscii(item[k]) == FoldAscii(prefix[k]);
                k += 1;
            }
        }
        if (same)
            return i;
    }
    return std::nullopt;
}

std::optional<unsigned> ParseCarrierLimit(std::string_view value)
{
    if (value.empty() || value[0] < '0' || value[0] > '9')
        return std::nullopt;
    int n = LeadingDecimal(value);
    if (n < 2)
        return std::nullopt;
    return static_cast<unsigned>(n);
}

std::vector<std::string> KeyListWithin(const std::vector<std::string> &keys, size_t bufSize)
{
    size_t total = 1;
    for (const std::string &k : keys)
        total += k.size() + 1;
    if (total <= bufSize || bufSize < 2)
        return bufSize < 2 ? std::vector<std::string>{} : keys;
    std::vector<std::string> out;
    size_t room = bufSize - 2;
    for (const std::string &k : keys) {
        if (room == 0)
            break;
        out.push_back(k.substr(0, room));
        room -= out.back().size();
        if (room == 0)
            break;
        --room; // its terminator
    }
    return out;
}
