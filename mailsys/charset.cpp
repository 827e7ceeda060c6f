#include "charset.h"

#include "cp932/cp932.h"

#include <cctype>
#include <cerrno>
#include <iconv.h>

namespace mailsys {

namespace {

// Length of the UTF-8 sequence at s (n bytes left), 0 when it is bad:
// cut short, overlong, a surrogate or past U+10FFFF.
size_t Utf8SeqLen(const unsigned char *s, size_t n)
{
    if (n == 0)
        return 0;
    unsigned char c = s[0];
    size_t len = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >> 4) == 14 ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (len == 0 || len > n)
        return 0;
    for (size_t i = 1; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80)
            return 0;
    if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] >= 0xA0) || (c == 0xF0 && s[1] < 0x90) ||
        (c == 0xF4 && s[1] >= 0x90))
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

// Converts with iconv; a byte it cannot convert becomes U+FFFD and the next
// byte is read again. *ok is false when iconv does not know the charset.
std::string Convert(const char *from, std::string_view in, bool *ok)
{
    std::string out;
    iconv_t cd = iconv_open("UTF-8", from);
    *ok = cd != reinterpret_cast<iconv_t>(-1);
    if (!*ok)
        return out;
    char *src = const_cast<char *>(in.data());
    size_t left = in.size();
    char buf[4096];
    while (left > 0) {
        char *dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // EILSEQ, or EINVAL for a sequence cut off at the end.
            out += "\xEF\xBF\xBD";
            ++src;
            --left;
        }
    }
    char *dst = buf;
    size_t room = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

}  // namespace

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
        return cp932::ToUtf8(text);
    bool ok = false;
    std::string out = Convert(cs.c_str(), text, &ok);
    return ok ? out : ScrubUtf8(text);
}

}  // namespace mailsys
