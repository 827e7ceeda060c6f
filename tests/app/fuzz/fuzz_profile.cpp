// Fuzz entry point of the settings-file parser. The input is a settings
// file as found on disk (hand edits, other programs, any line ends). It
// requires that
//  - the text written back reads as the same lines;
//  - a key set through the profile rules reads back as set, and every other
//    key of the file keeps its value;
//  - a key removed reads as missing, the others unchanged.
// The names and value set are taken from the input's first line when it has
// the form "section|key|value", else from the file's first key.
// Built with libFuzzer (clang) as profile_fuzz, and without it into the
// replay driver that runs the corpus and the crashers in CTest.
#include "app/cp932.h"
#include "app/profile_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Every (section, key) the file names, with its value as read now.
std::vector<std::pair<std::string, std::string>> Pairs(const ProfileText &doc)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string section;
    for (const std::string &line : doc.lines) {
        std::string_view t = Trim(line);
        if (!t.empty() && t[0] == '[') {
            size_t close = cp932::FindAscii(t, ']');
            section = std::string(Trim(t.substr(1, close == std::string_view::npos ? close : close - 1)));
            continue;
        }
        size_t eq = cp932::FindAscii(t, '=');
        if (eq != std::string_view::npos)
            pairs.emplace_back(section, std::string(Trim(t.substr(0, eq))));
    }
    return pairs;
}

std::vector<std::string> Values(const ProfileText &doc, const std::vector<std::pair<std::string, std::string>> &pairs)
{
    std::vector<std::string> values;
    for (const auto &[s, k] : pairs) {
        auto v = ProfileLookup(doc, s, k);
        values.push_back(v ? std::string(*v) : std::string("\x01missing"));
    }
    return values;
}

// The value as a read gives it back: trimmed, a matching pair of quotes
// taken away.
std::string AsRead(std::string_view v)
{
    v = Trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool Same(const std::string &a, const std::string &b) { return cp932::EqualsNoCase(Trim(a), Trim(b)); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 8192)
        return 0; // the checks below are quadratic
    std::string_view text(reinterpret_cast<const char *>(data), size);
    ProfileText doc = ParseProfileText(text);

    // Written back and read again: the same lines.
    ProfileText again = ParseProfileText(SerialiseProfileText(doc));
    Check(again.bom == doc.bom && again.lines == doc.lines);

    auto pairs = Pairs(doc);
    std::vector<std::string> before = Values(doc, pairs);
    for (const auto &[s, k] : pairs)
        (void)ProfileKeys(doc, s);

    std::string section = "Default", key = "Vender", value = "PC";
    std::string_view first = text.substr(0, text.find_first_of("\r\n"));
    size_t bar1 = first.find('|'), bar2 = bar1 == std::string_view::npos ? bar1 : first.find('|', bar1 + 1);
    if (bar2 != std::string_view::npos) {
        section = std::string(first.substr(0, bar1));
        key = std::string(first.substr(bar1 + 1, bar2 - bar1 - 1));
        value = std::string(first.substr(bar2 + 1));
    } else if (!pairs.empty()) {
        std::tie(section, key) = pairs.front();
        value = std::string(first);
    }

    ProfileText set = doc;
    if (ProfileSet(set, section, key, value)) {
        ProfileText read = ParseProfileText(SerialiseProfileText(set));
        auto v = ProfileLookup(read, section, key);
        Check(v && *v == AsRead(value));
        std::vector<std::string> after = Values(read, pairs);
        for (size_t i = 0; i < pairs.size(); ++i)
            Check(after[i] == before[i] || (Same(pairs[i].first, section) && Same(pairs[i].second, key)));
    } else {
        Check(set.lines == doc.lines);
    }

    ProfileText removed = doc;
    bool had = ProfileLookup(doc, section, key).has_value();
    Check(ProfileRemove(removed, section, key) == had);
    if (had) {
        std::vector<std::string> after = Values(removed, pairs);
        for (size_t i = 0; i < pairs.size(); ++i)
            Check(after[i] == before[i] || (Same(pairs[i].first, section) && Same(pairs[i].second, key)));
    }
    return 0;
}
