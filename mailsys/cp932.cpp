#include "cp932.h"

#include <cctype>
#include <cerrno>
#include <iconv.h>

namespace mailsys {

namespace {

// Runs iconv over `in`, calling on_bad(out, in, left) whenever the input
// holds an invalid or unconvertible sequence; on_bad must skip input.
template <typename OnBad>
std::string Convert(const char *to, const char *from, std::string_view in, bool *ok, OnBad on_bad)
{
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (ok)
            *ok = false;
        return out;
    }
    if (ok)
        *ok = true;
    char *src = const_cast<char *>(in.data());
    size_t left = in.size();
    char buf[4096];
    while (left > 0) {
        char *dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end).
            on_bad(out, src, left);
        }
    }
    // Flush any shift state.
    char *dst = buf;
    size_t room = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

// Decodes one UTF-8 sequence at s (length n); returns its length, 0 if bad.
size_t Utf8SeqLen(const unsigned char *s, size_t n)
{
    if (n == 0)
        return 0;
    unsigned char c = s[0];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || len > n)
        return 0;
    for (size_t i = 1; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80)
            return 0;
    return len;
}

std::string ScrubUtf8(std::string_view in)
{
    std::string out;
    const auto *s = reinterpret_cast<const unsigned char *>(in.data());
    size_t n = in.size();
    for (size_t i = 0; i < n;) {
        size_t len = Utf8SeqLen(s + i, n - i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(in.substr(i, len));
            i += len;
        }
    }
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, nullptr, [](std::string &out, char *&src, size_t &left) {
        // Skip a whole double-byte character when the lead byte says so and
        // the trail byte is there; a lone byte otherwise.
        size_t skip = 1;
        if (IsCp932Lead(static_cast<unsigned char>(*src)) && left >= 2)
            skip = 2;
        out += "\xEF\xBF\xBD";
        src += skip;
        left -= skip;
    });
}

std::string Utf8ToCp932(std::string_view utf8, bool *lossy)
{
    if (lossy)
        *lossy = false;
    return Convert("CP932", "UTF-8", utf8, nullptr, [lossy](std::string &out, char *&src, size_t &left) {
        size_t len = Utf8SeqLen(reinterpret_cast<const unsigned char *>(src), left);
        if (len == 0)
            len = 1;
        out += '?';
        src += len;
        left -= len;
        if (lossy)
            *lossy = true;
    });
}

std::string CharsetToUtf8(std::string_view text, const std::string &charset)
{
    std::string cs = charset;
    for (auto &c : cs)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (cs.empty() || cs == "UTF-8" || cs == "UTF8" || cs == "US-ASCII")
        return ScrubUtf8(text);
    // Shift_JIS as written by Japanese address books is CP932 in practice.
    if (cs == "SHIFT_JIS" || cs == "SHIFT-JIS" || cs == "SJIS" || cs == "CP932" || cs == "WINDOWS-31J" ||
        cs == "MS_KANJI")
        return Cp932ToUtf8(text);
    bool ok = false;
    std::string out = Convert("UTF-8", cs.c_str(), text, &ok, [](std::string &o, char *&src, size_t &left) {
        o += "\xEF\xBF\xBD";
        ++src;
        --left;
    });
    if (!ok)
        return ScrubUtf8(text);
    return out;
}

}  // namespace mailsys
