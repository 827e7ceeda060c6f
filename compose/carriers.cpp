#include "compose/carriers.h"

#include "app/cp932.h"
#include "app/profile.h"


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

namespace {

// One label of a key against one label of a domain: "*" takes one or more
// characters. Row by row over the key, so any key runs in time
// proportional to the two lengths multiplied.
bool LabelMatches(std::string_view key, std::string_view label)
{
    std::vector<char> prev(label.size() + 1, 0), cur(label.size() + 1, 0);
    prev[0] = 1;
    for (char k : key) {
        cur[0] = 0;
        if (k == '*') {
            char any = 0;
            for (size_t j = 1; j <= label.size(); ++j) {
                any |= prev[j - 1];
                cur[j] = any;
            }
        } else {
            for (size_t j = 1; j <= label.size(); ++j)
                cur[j] = prev[j - 1] && FoldAscii(k) == FoldAscii(label[j - 1]);
        }
        prev.swap(cur);
    }
    return prev[label.size()] != 0;
}

std::vector<std::string_view> Labels(std::string_view s)
{
    std::vector<std::string_view> labels;
    for (size_t start = 0;;) {
        size_t dot = cp932::FindAscii(s, '.', start);
        labels.push_back(s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
            return labels;
        start = dot + 1;
    }
}

} // namespace

bool MailDomainMatches(std::string_view key, std::string_view domain)
{
    // "*" never takes a ".", so key and domain match label by label.
    if (key.empty())
        return false;
    std::vector<std::string_view> keyLabels = Labels(key), domainLabels = Labels(domain);
    if (keyLabels.size() != domainLabels.size())
        return false;
    for (size_t i = 0; i < keyLabels.size(); ++i)
        if (!LabelMatches(keyLabels[i], domainLabels[i]))
            return false;
    return true;
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
    size_t at = cp932::FindAscii(address, '@');
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
