#include "app/profile.h"

#include "app/cp932.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

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

// The file as lines (without their line ends) and a possible byte-order mark.
struct Document {
    std::string bom;
    std::vector<std::string> lines;
};

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
        size_t close = t.find(']');
        p.kind = LineKind::Section;
        p.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return p;
    }
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return p;
    p.kind = LineKind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    return p;
}

std::optional<Document> Load(const std::string &path)
{
    Document doc;
    if (path.empty())
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    std::string data = ss.str();
    std::string_view rest(data);
    if (rest.substr(0, kBom.size()) == kBom) {
        doc.bom = std::string(kBom);
        rest.remove_prefix(kBom.size());
    }
    while (!rest.empty()) {
        size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        doc.lines.emplace_back(line);
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    return doc;
}

// Index range [begin, end) of the body lines of the first section named
// `section`, or nullopt when there is none.
struct Range {
    size_t header, begin, end;
};

std::optional<Range> FindSection(const Document &doc, std::string_view section)
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

std::optional<size_t> FindKey(const Document &doc, const Range &r, std::string_view key)
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

bool Save(const std::string &path, const Document &doc, bool createFolders)
{
    std::string data = doc.bom;
    for (const std::string &line : doc.lines) {
        data += line;
        data += "\r\n";
    }
    if (createFolders) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    }
    return WriteFileAtomically(path, data);
}

} // namespace

int LeadingDecimal(std::string_view text)
{
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + (c - '0');
        if (v > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(v);
}

bool WriteFileAtomically(const std::string &path, std::string_view data)
{
    namespace fs = std::filesystem;
    if (path.empty())
        return false;
    fs::path target(path);
    fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    bool ok = true;
    errno = 0;
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask.
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        ok = fchmod(fd, st.st_mode & 07777) == 0;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        ok = fchmod(fd, 0666 & ~mask) == 0;
    }
    const char *p = data.data();
    size_t left = data.size();
    while (ok && left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0)
        ok = false;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(tmpl.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        int err = errno; // the caller may report why
        unlink(tmpl.c_str());
        errno = err;
        return false;
    }
    // Make the rename itself durable.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

ProfileFile::ProfileFile(std::string path, bool createFolders)
    : m_path(std::move(path)), m_createFolders(createFolders)
{
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, size_t bufSize) const
{
    std::string result(def);
    if (auto doc = Load(m_path)) {
        if (auto r = FindSection(*doc, section)) {
            if (auto k = FindKey(*doc, *r, key))
                result = std::string(Unquote(ParseLine(doc->lines[*k]).value));
        }
    }
    if (bufSize > 0 && result.size() > bufSize - 1)
        result.resize(bufSize - 1);
    return result;
}

std::vector<std::string> ProfileFile::GetKeys(std::string_view section, std::string_view def) const
{
    std::vector<std::string> keys;
    if (auto doc = Load(m_path)) {
        if (auto r = FindSection(*doc, section)) {
            for (size_t i = r->begin; i < r->end; ++i) {
                Parsed p = ParseLine(doc->lines[i]);
                if (p.kind == LineKind::Key)
                    keys.emplace_back(p.name);
            }
        }
    }
    if (keys.empty() && !def.empty())
        keys.emplace_back(def);
    return keys;
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int def) const
{
    if (auto doc = Load(m_path)) {
        if (auto r = FindSection(*doc, section)) {
            if (auto k = FindKey(*doc, *r, key))
                return LeadingDecimal(Unquote(ParseLine(doc->lines[*k]).value));
        }
    }
    return def;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (m_path.empty() || section.empty() || key.empty())
        return false;
    Document doc;
    if (auto loaded = Load(m_path)) {
        doc = std::move(*loaded);
    } else if (std::filesystem::exists(m_path)) {
        return false; // there but unreadable: never replace what we cannot read
    }
    std::string line = std::string(key) + "=" + std::string(value);
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
            doc.lines.insert(doc.lines.begin() + static_cast<long>(at), line);
        }
    } else {
        doc.lines.push_back("[" + std::string(section) + "]");
        doc.lines.push_back(line);
    }
    return Save(m_path, doc, m_createFolders);
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key)
{
    auto doc = Load(m_path);
    if (!doc)
        return !m_path.empty() && !std::filesystem::exists(m_path);
    auto r = FindSection(*doc, section);
    if (!r)
        return true;
    auto k = FindKey(*doc, *r, key);
    if (!k)
        return true;
    doc->lines.erase(doc->lines.begin() + static_cast<long>(*k));
    return Save(m_path, *doc, m_createFolders);
}
