#include "app/profile_text.h"

#include "app/cp932.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

enum class LineKind { Other, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name
    std::string_view value; // key value (trimmed)
};

Parsed ParseLine(std::string_view line)
{
    Parsed p;
    std::string_view t = Trim(line);
    if (!t.empty() && t[0] == '[') {
        size_t close = cp932::FindAscii(t, ']');
        p.kind = LineKind::Section;
        p.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return p;
    }
    size_t eq = cp932::FindAscii(t, '=');
    if (eq == std::string_view::npos)
        return p;
    p.kind = LineKind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    return p;
}

// Index range [begin, end) of the body lines of the first section named
// `section`.
struct Range {
    size_t header, begin, end;
};

std::optional<Range> FindSection(const ProfileText &doc, std::string_view section)
{
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        Parsed p = ParseLine(doc.lines[i]);
        if (p.kind != LineKind::Section || !cp932::EqualsNoCase(p.name, section))
            continue;
        size_t j = i + 1;
        while (j < doc.lines.size() && ParseLine(doc.lines[j]).kind != LineKind::Section)
            ++j;
        return Range{i, i + 1, j};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const ProfileText &doc, const Range &r, std::string_view key)
{
    for (size_t i = r.begin; i < r.end; ++i) {
        Parsed p = ParseLine(doc.lines[i]);
        if (p.kind == LineKind::Key && cp932::EqualsNoCase(p.name, key))
            return i;
    }
    return std::nullopt;
}

// A value enclosed in a matching pair of quotes reads without them.
std::string_view Unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A section or key name as the file can hold it and read it back: without
// blanks around it, and without what would end or change its line.
bool WritableSection(std::string_view name)
{
    // The line's "]" must close it: not one inside the name, nor one a lead
    // byte at the name's end would take as its trail byte.
    std::string line = std::string(name) + "]";
    return !name.empty() && !HasLineBreak(name) && cp932::FindAscii(line, ']') == name.size();
}
} // namespace

bool WritableKey(std::string_view name)
{
    name = Trim(name);
    return !name.empty() && !HasLineBreak(name) && cp932::FindAscii(name, '=') == std::string_view::npos && name[0] != '[';
}

ProfileText ParseProfileText(std::string_view data)
{
    ProfileText doc;
    if (data.substr(0, kBom.size()) == kBom) {
        doc.bom = std::string(kBom);
        data.remove_prefix(kBom.size());
    }
    while (!data.empty()) {
        size_t end = data.find_first_of("\r\n");
        doc.lines.emplace_back(data.substr(0, end));
        if (end == std::string_view::npos)
            break;
        // CR LF is one line end; so are a lone CR and a lone LF.
        size_t next = end + 1;
        if (data[end] == '\r' && next < data.size() && data[next] == '\n')
            ++next;
        data.remove_prefix(next);
    }
    return doc;
}

std::string SerialiseProfileText(const ProfileText &doc)
{
    size_t size = doc.bom.size();
    for (const std::string &line : doc.lines)
        size += line.size() + 2;
    std::string data;
    data.reserve(size);
    data = doc.bom;
    for (const std::string &line : doc.lines) {
        data += line;
        data += "\r\n";
    }
    return data;
}

std::optional<std::string_view> ProfileLookup(const ProfileText &doc, std::string_view section,
                                              std::string_view key)
{
    section = Trim(section);
    key = Trim(key);
    if (auto r = FindSection(doc, section)) {
        if (auto k = FindKey(doc, *r, key))
            return Unquote(ParseLine(doc.lines[*k]).value);
    }
    return std::nullopt;
}

std::vector<std::string> ProfileKeys(const ProfileText &doc, std::string_view section)
{
    std::vector<std::string> keys;
    if (auto r = FindSection(doc, Trim(section))) {
        for (size_t i = r->begin; i < r->end; ++i) {
            Parsed p = ParseLine(doc.lines[i]);
            if (p.kind == LineKind::Key)
                keys.emplace_back(p.name);
        }
    }
    return keys;
}

bool ProfileSet(ProfileText &doc, std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (!WritableSection(section) || !WritableKey(key) || HasLineBreak(value))
        return false;
    if (auto r = FindSection(doc, section)) {
        if (auto k = FindKey(doc, *r, key)) {
            // Keep the key's own spelling.
            std::string name(ParseLine(doc.lines[*k]).name);
            doc.lines[*k] = name + "=" + std::string(value);
        } else {
            // After the section's last non-blank line.
            size_t at = r->end;
            while (at > r->begin && Trim(doc.lines[at - 1]).empty())
                --at;
            doc.lines.insert(doc.lines.begin() + static_cast<long>(at),
                             std::string(key) + "=" + std::string(value));
        }
    } else {
        doc.lines.push_back("[" + std::string(section) + "]");
        doc.lines.push_back(std::string(key) + "=" + std::string(value));
    }
    return true;
}

bool ProfileRemove(ProfileText &doc, std::string_view section, std::string_view key)
{
    section = Trim(section);
    key = Trim(key);
    auto r = FindSection(doc, section);
    if (!r)
        return false;
    auto k = FindKey(doc, *r, key);
    if (!k)
        return false;
    doc.lines.erase(doc.lines.begin() + static_cast<long>(*k));
    return true;
}
