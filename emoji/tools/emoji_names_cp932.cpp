// Converts the UTF-8 list of pictograph names into the CP932 string literals
// that the catalogue is compiled from.
//
//   emoji_names_cp932 <emoji_names.txt> <output.inc>
//
// Input: lines "<index><TAB><name>", indices 1 to 252 in order; lines
// starting with '#' are comments. Each name must convert to CP932 (glibc's
// "CP932" converter) in at most 26 bytes. Output: one literal per line, every
// byte outside printable ASCII written as a three-digit octal escape, so the
// compiled bytes are exactly the converter's.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iconv.h>
#include <sstream>
#include <string>

namespace {

constexpr int kCount = 252;
constexpr std::size_t kNameMax = 26;

bool ToCp932(const std::string& utf8, std::string& out)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == iconv_t(-1))
        return false;
    std::string in = utf8;
    out.assign(in.size() * 2 + 4, '\0');
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = rc != std::size_t(-1) && srcLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != std::size_t(-1);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return ok;
}

std::string Literal(const std::string& bytes)
{
    std::string s = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            s += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            s += buf;
        }
    }
    return s + "\"";
}

int Fail(const std::string& where, const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", where.c_str(), what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <emoji_names.txt> <output.inc>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return Fail(argv[1], "cannot be read");

    std::ostringstream inc;
    inc << "// Generated from emoji_names.txt by emoji_names_cp932; do not edit.\n";
    std::string line;
    int expected = 1;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string where = std::string(argv[1]) + ":" + std::to_string(lineNo);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            return Fail(where, "expected <index><TAB><name>");
        if (line.substr(0, tab) != std::to_string(expected))
            return Fail(where, "expected index " + std::to_string(expected));
        std::string cp932;
        if (!ToCp932(line.substr(tab + 1), cp932))
            return Fail(where, "name does not convert to CP932");
        if (cp932.empty() || cp932.size() > kNameMax || cp932.find('\0') != std::string::npos)
            return Fail(where, "name must be 1 to 26 bytes of CP932 text");
        inc << Literal(cp932) << ", // " << expected << "\n";
        ++expected;
    }
    if (expected != kCount + 1)
        return Fail(argv[1], "expected names 1 to " + std::to_string(kCount));

    // Write beside the target and rename, so that a failed run leaves no
    // half-written file for the next build to trust.
    const std::string tmp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << inc.str();
        out.flush();
        if (!out)
            return Fail(tmp, "cannot be written");
    }
    if (std::rename(tmp.c_str(), argv[2]) != 0)
        return Fail(argv[2], "cannot be written");
    return 0;
}
