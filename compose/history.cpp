#include "compose/history.h"

#include "compose/carriers.h"
#include "app/cp932.h"

#include <algorithm>

std::optional<size_t> FindHistoryPrefix(const std::vector<std::string> &list, const std::string &text)
{
    if (list.empty())
        return std::nullopt;
    std::vector<std::string> rotated(list.begin() + 1, list.end());
    rotated.push_back(list.front());
    auto found = FindPrefixNoCase(rotated, text);
    if (!found)
        return std::nullopt;
    return *found + 1 == list.size() ? 0 : *found + 1;
}

bool IsBlankRecipient(const std::string &text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

bool InsertIntoHistory(std::vector<std::string> &list, const std::string &text)
{
    if (IsBlankRecipient(text))
        return false;
    auto found = FindHistoryPrefix(list, text);
    if (found && *found == 0)
        return false;
    if (found)
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(*found));
    list.insert(list.begin(), text);
    if (list.size() > kHistorySize)
        list.resize(kHistorySize);
    return true;
}

std::vector<std::string> HistoryFromValues(const std::vector<std::string> &values)
{
    std::vector<std::string> list;
    for (const std::string &v : values)
        if (!v.empty() && !FindPrefixNoCase(list, v))
            list.push_back(v);
    return list;
}

std::string HistoryKey(size_t number)
{
    return "MailTo" + std::to_string(number);
}

namespace {
// The text with ASCII letters in lower case, trail bytes left alone.
std::string FoldedKey(const std::string &s)
{
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (cp932::IsLeadByte(c) && i + 1 < out.size()) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}
} // namespace

std::vector<std::string> SortedForHistoryDialog(std::vector<std::string> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const std::string &a, const std::string &b) {
        std::string ka = FoldedKey(a), kb = FoldedKey(b);
        return ka != kb ? ka < kb : a < b;
    });
    return entries;
}
