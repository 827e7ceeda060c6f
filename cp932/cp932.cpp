#include "cp932/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace cp932 {
namespace {

// One converter per direction, opened on first use. iconv_t objects keep
// state, so calls are serialised; the program has only one UI thread anyway.
struct Converter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    std::mutex lock;
    Converter(const char *to, const char *from) { cd = iconv_open(to, from); }
    ~Converter()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
};

Converter &ToUtf8Conv()
{
    static Converter c("UTF-8", "CP932");
    return c;
}

Converter &FromUtf8Conv()
{
    static Converter c("CP932", "UTF-8");
    return c;
}

// Converts one unit (1 or 2 input bytes, or one UTF-8 sequence) with iconv.
// Returns false when iconv cannot convert it.
bool ConvertUnit(Converter &conv, std::string_view in, std::string &out)
{
    if (conv.cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char buf[16];
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    char *dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(conv.cd, &src, &srcLeft, &dst, &dstLeft);
    if (r == static_cast<size_t>(-1) || srcLeft != 0)
        return false;
    // Flush any shift state (none for these encodings, but be correct).
    iconv(conv.cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    return true;
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is invalid.
size_t Utf8SeqLen(std::string_view s, size_t i)
{
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
    else return 0;
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF)
        return 0;
    return n;
}

} // namespace

namespace {

constexpr uint32_t kNoChar = 0xFFFFFFFF;

// The UTF-8 form of every CP932 unit (a single byte from 0x80 up, or a lead
// byte with a trail byte), asked of iconv once per process and kept as a
// table: reading a large text costs one look-up per character instead of
// one converter call. Index: the byte, or lead * 256 + trail.
struct DecodeTable {
    uint32_t code[65536];
    DecodeTable()
    {
        Converter &conv = ToUtf8Conv();
        std::lock_guard<std::mutex> guard(conv.lock);
        auto decode = [&conv](const char *bytes, size_t n) -> uint32_t {
            std::string utf8;
            if (!ConvertUnit(conv, std::string_view(bytes, n), utf8) || utf8.empty())
                return kNoChar;
            auto b = [&utf8](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(utf8[k])); };
            switch (utf8.size()) {
            case 1: return b(0);
            case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
            case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
            case 4: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
            default: return kNoChar; // one unit gave several characters: not expected of CP932
            }
        };
        for (uint32_t &c : code)
            c = kNoChar;
        for (unsigned v = 0x80; v < 0x100; ++v) {
            char one = static_cast<char>(v);
            if (!IsLeadByte(static_cast<unsigned char>(v)))
                code[v] = decode(&one, 1);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                if (IsTrailByte(static_cast<unsigned char>(trail))) {
                    char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                    code[lead << 8 | trail] = decode(two, 2);
                }
        }
    }
};

const DecodeTable &Table()
{
    static const DecodeTable table;
    return table;
}

void AppendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::string ToUtf8(std::string_view in)
{
    const DecodeTable &table = Table();
    std::string out;
    out.reserve(in.size() * 3 / 2);
    size_t i = 0;
    while (i < in.size()) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        // A lead byte without a valid trail byte is one unit of its own
        // (replaced), and the next byte is read again.
        unsigned char t = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
        bool pair = IsLeadByte(c) && i + 1 < in.size() && IsTrailByte(t);
        uint32_t cp = pair ? table.code[c << 8 | t] : table.code[c];
        if (cp == kNoChar)
            out += "\xEF\xBF\xBD"; // U+FFFD
        else
            AppendUtf8(out, cp);
        i += pair ? 2 : 1;
    }
    return out;
}

namespace {

// What each code point of the Basic Multilingual Plane becomes in CP932,
// asked of iconv the first time the code point is met and kept: the body is
// converted whole on every key, one converter call per character was most
// of that. An entry: 0 not asked yet, kNone none, else 0x10000 | bytes
// (one byte below 0x100). Entries are only ever set to the one answer, so
// threads may share the table without a lock.
constexpr uint32_t kNone = 1;
std::atomic<uint32_t> g_encoded[0x10000];

// Appends the CP932 form of the code point (a valid scalar value); false
// when CP932 lacks it.
bool EncodeUnit(uint32_t cp, std::string &out)
{
    uint32_t known = cp < 0x10000 ? g_encoded[cp].load(std::memory_order_relaxed) : 0;
    if (known == 0) {
        std::string seq, bytes;
        AppendUtf8(seq, cp);
        bool ok;
        {
            Converter &conv = FromUtf8Conv();
            std::lock_guard<std::mutex> guard(conv.lock);
            ok = ConvertUnit(conv, seq, bytes) && !bytes.empty() && bytes.size() <= 2;
        }
        if (!ok)
            known = kNone;
        else if (bytes.size() == 1)
            known = 0x10000 | static_cast<unsigned char>(bytes[0]);
        else
            known = 0x10000 | static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
        if (cp < 0x10000)
            g_encoded[cp].store(known, std::memory_order_relaxed);
    }
    if (known == kNone)
        return false;
    uint32_t v = known & 0xFFFF;
    if (v >= 0x100)
        out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xFF));
    return true;
}

// The code point of a valid UTF-8 sequence.
uint32_t CodePoint(std::string_view seq)
{
    auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(seq[k])); };
    switch (seq.size()) {
    case 1: return b(0);
    case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    default: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    }
}

} // namespace

std::string FromUtf8(std::string_view in, char substitute, bool *lossless)
{
    if (lossless)
        *lossless = true;
    std::string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        size_t n = Utf8SeqLen(in, i);
        if (n == 0 || !EncodeUnit(CodePoint(in.substr(i, n)), out)) {
            out.push_back(substitute);
            if (lossless)
                *lossless = false;
        }
        i += n ? n : 1;
    }
    return out;
}

static_assert(sizeof(wchar_t) == 4, "wchar_t holds a whole code point");

std::string FromWide(std::wstring_view in, char substitute, bool *lossless)
{
    if (lossless)
        *lossless = true;
    std::string out;
    out.reserve(in.size() * 2);
    for (wchar_t w : in) {
        uint32_t cp = static_cast<uint32_t>(w);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        bool scalar = cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!scalar || !EncodeUnit(cp, out)) {
            out.push_back(substitute);
            if (lossless)
                *lossless = false;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        size_t n = Utf8SeqLen(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (IsLeadByte(x) && i + 1 < a.size()) {
            // Compare the double-byte character as it stands.
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (fold(x) != fold(y))
            return false;
    }
    return true;
}

size_t FindAscii(std::string_view text, char ch, size_t from)
{
    for (size_t i = from; i < text.size(); i += CharLength(text, i))
        if (text[i] == ch)
            return i;
    return std::string_view::npos;
}

size_t CutAtCharBoundary(std::string_view text, size_t limit)
{
    limit = std::min(limit, text.size());
    size_t i = 0;
    while (i < limit) {
        bool leadAtEnd = i + 1 == text.size() && IsLeadByte(static_cast<unsigned char>(text[i]));
        size_t n = leadAtEnd ? 2 : CharLength(text, i);
        if (i + n > limit)
            break;
        i += n;
    }
    return i;
}

} // namespace cp932
