// Makes the mail library's table of pictograph forms from Unicode's
// EmojiSources.txt and the program's pictograph catalogue.
//
//   pictograph_table <EmojiSources.txt> <output.inc>
//
// Output: one initialiser per pictograph in index order,
//   {0xF89F, "<UTF-8 emoji or empty>", "<CP932 name>"},
// every byte outside printable ASCII written as an octal escape. The emoji is
// the character or sequence EmojiSources.txt gives for the code in its
// docomo column; where ICU says its default presentation is text
// (Emoji_Presentation = No), U+FE0F follows the first character (so a keycap
// becomes the fully qualified "# U+FE0F U+20E3"). A code without an entry
// gets an empty string: the mail library writes its name instead.
#include "emoji/emoji_table.h"

#include <unicode/uchar.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string Literal(const std::string &bytes)
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

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

int Fail(const std::string &where, const std::string &what)
{
    std::fprintf(stderr, "%s: %s\n", where.c_str(), what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <EmojiSources.txt> <output.inc>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return Fail(argv[1], "cannot be read (Debian package unicode-data)");

    // docomo code -> code points, from the lines "<code points>;<docomo>;<kddi>;<softbank>".
    std::map<unsigned, std::vector<char32_t>> sources;
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        const std::string where = std::string(argv[1]) + ":" + std::to_string(line_no);
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string f; std::getline(split, f, ';');)
            fields.push_back(Trim(f));
        if (fields.size() < 2)
            return Fail(where, "expected <code points>;<docomo code>;...");
        if (fields[1].empty())
            continue;
        unsigned code = 0;
        try {
            code = std::stoul(fields[1], nullptr, 16);
        } catch (...) {
            return Fail(where, "bad docomo code");
        }
        if (!FindEmojiByCode({static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF)}))
            return Fail(where, "the docomo code is no pictograph of the catalogue");
        std::vector<char32_t> points;
        std::stringstream cps(fields[0]);
        for (std::string cp; cps >> cp;) {
            unsigned long v = 0;
            try {
                v = std::stoul(cp, nullptr, 16);
            } catch (...) {
                return Fail(where, "bad code point");
            }
            if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
                return Fail(where, "bad code point");
            points.push_back(char32_t(v));
        }
        if (points.empty() || !sources.emplace(code, points).second)
            return Fail(where, "no code points, or a docomo code given twice");
    }
    if (in.bad())
        return Fail(argv[1], "cannot be read");

    std::ostringstream inc;
    inc << "// Generated from EmojiSources.txt and the pictograph catalogue by pictograph_table; do not edit.\n";
    int mapped = 0, with_selector = 0;
    for (const EmojiInfo &e : g_emojiTable) {
        std::string emoji;
        auto it = sources.find(e.code.value());
        std::string note;
        if (it != sources.end()) {
            ++mapped;
            const std::vector<char32_t> &points = it->second;
            for (size_t i = 0; i < points.size(); ++i) {
                AppendUtf8(emoji, points[i]);
                char buf[16];
                std::snprintf(buf, sizeof buf, " U+%04X", unsigned(points[i]));
                note += buf;
                if (i == 0 && !u_hasBinaryProperty(UChar32(points[0]), UCHAR_EMOJI_PRESENTATION)) {
                    AppendUtf8(emoji, 0xFE0F);
                    note += " U+FE0F";
                    ++with_selector;
                }
            }
        } else {
            note = " (no Unicode source: its name)";
        }
        char code[8];
        std::snprintf(code, sizeof code, "0x%04X", unsigned(e.code.value()));
        inc << "{" << code << ", " << Literal(emoji) << ", " << Literal(e.name) << "}, // " << e.index << note
            << "\n";
    }
    inc << "// " << mapped << " of " << kEmojiCount << " mapped, " << with_selector << " with U+FE0F.\n";

    // Written beside the target and renamed, so that a failed run leaves no
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
