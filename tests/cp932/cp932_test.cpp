#include "cp932/cp932.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <tuple>

TEST(Cp932, RoundTripsKanjiKanaAndUserDefinedArea)
{
    // "表" has 0x5C as trail byte; half-width katakana are single bytes.
    std::string sjis = "\x95\x5C\xB6\xC0\xB6\xC5\x82\xA0" "A\r\n";
    std::string utf8 = cp932::ToUtf8(sjis);
    EXPECT_EQ(utf8, "表ｶﾀｶﾅあA\r\n");
    EXPECT_EQ(cp932::FromUtf8(utf8), sjis);
    // Pictograph codes map to the private-use area and back.
    EXPECT_EQ(cp932::ToUtf8("\xF8\x9F"), "\xEE\x98\xBE"); // U+E63E
    EXPECT_EQ(cp932::FromUtf8("\xEE\x98\xBE"), "\xF8\x9F");
    EXPECT_EQ(cp932::ToUtf8("\xF9\xFC"), "\xEE\x9D\x97");  // U+E757
    // The full-width tilde is 0x8160.
    EXPECT_EQ(cp932::FromUtf8("～"), "\x81\x60");
}

TEST(Cp932, BadInputIsReplacedNotDropped)
{
    // A lone lead byte at the end, and a byte that starts no character.
    EXPECT_EQ(cp932::ToUtf8("a\x82"), "a\xEF\xBF\xBD");
    EXPECT_EQ(cp932::ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
    bool lossless = true;
    EXPECT_EQ(cp932::FromUtf8("x😀y", '?', &lossless), "x?y");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(cp932::FromUtf8("a\xC3(b"), "a?(b"); // broken UTF-8
}

TEST(Cp932, Utf8ValidityAndCaseFolding)
{
    EXPECT_TRUE(cp932::IsValidUtf8("ｶﾀｶﾅ and ascii"));
    EXPECT_FALSE(cp932::IsValidUtf8("\x82\xA0"));
    EXPECT_FALSE(cp932::IsValidUtf8("\xC0\xAF"));     // overlong
    // Three-byte forms at the edges of what they may carry: U+0800 is the
    // first, U+07FF overlong; U+D7FF and U+E000 border the surrogates.
    const std::pair<const char *, bool> threeBytes[] = {
        {"\xE0\xA0\x80", true},  {"\xE0\x9F\xBF", false}, {"\xED\x9F\xBF", true},
        {"\xED\xA0\x80", false}, {"\xED\xBF\xBF", false}, {"\xEE\x80\x80", true},
    };
    for (auto [bytes, valid] : threeBytes)
        EXPECT_EQ(cp932::IsValidUtf8(bytes), valid) << testing::PrintToString(std::string(bytes));
    EXPECT_TRUE(cp932::EqualsNoCase("Mail Address", "MAIL address"));
    EXPECT_FALSE(cp932::EqualsNoCase("\x83\x41", "\x83\x61"));
}

// Scans step over double-byte characters: the trail bytes 0x40 (法 ァ), 0x5C
// (表 ソ) and 0x7C (ポ) are no "@", "\\" or "|"; a stray lead byte is a
// character of its own.
TEST(Cp932, ScansAndCutsStepOverDoubleByteCharacters)
{
    const size_t npos = std::string_view::npos;
    const std::tuple<std::string, char, size_t, size_t> finds[] = {
        {"\x96\x40\x83\x74\x83\x40x@", '@', 0, 7}, {"\x95\x5C\x83\x5C\\", '\\', 0, 4},
        {"\x83\x7C|", '|', 0, 2}, {"a@b@c", '@', 2, 3}, {"\x81@", '@', 0, npos}, {"\x81,", ',', 0, 1},
    };
    for (const auto &[text, ch, from, at] : finds)
        EXPECT_EQ(cp932::FindAscii(text, ch, from), at) << testing::PrintToString(text);
    // A lead byte ending the text lost its trail byte to a cut: it goes
    // (the cuts through a text file are in compose_logic_test).
    EXPECT_EQ(cp932::CutAtCharBoundary("ab\x82", 3), 2u);
    EXPECT_EQ(cp932::CutAtCharBoundary("a\x81\n", 3), 3u);
}

TEST(Cp932, UserDefinedAreaRoundTrips)
{
    EXPECT_EQ(cp932::ToUtf8("\xF0\x40"), "\xEE\x80\x80"); // first code -> U+E000
    std::string pictographs;
    for (int lead : {0xF8, 0xF9})
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                pictographs += {static_cast<char>(lead), static_cast<char>(trail)};
    EXPECT_EQ(cp932::FromUtf8(cp932::ToUtf8(pictographs)), pictographs);
}

// A lead byte whose next byte cannot be its trail byte is one replacement
// character, and that next byte is read again as a character of its own:
// an angle bracket or a line break after a stray lead byte is never lost.
struct StrayLead {
    const char *cp932;
    const char *utf8;
};

class Cp932StrayLead : public testing::TestWithParam<StrayLead> {};

TEST_P(Cp932StrayLead, NextByteIsReadAgain)
{
    EXPECT_EQ(cp932::ToUtf8(GetParam().cp932), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932StrayLead,
    testing::Values(StrayLead{"\x81<a@b.c>", "\xEF\xBF\xBD<a@b.c>"},
                    StrayLead{"abc\x81\nxyz", "abc\xEF\xBF\xBD\nxyz"},
                    // Trail bytes at the edges of their ranges: 0x3F and
                    // 0x7F are not trail bytes, 0x40, 0x7E, 0x80 and 0xFC are.
                    StrayLead{"\x82\x3F", "\xEF\xBF\xBD?"},
                    StrayLead{"\x82\x7F", "\xEF\xBF\xBD\x7F"},
                    StrayLead{"\x81\x40", "\xE3\x80\x80"},      // ideographic space
                    StrayLead{"\x81\x7E", "\xC3\x97"},          // multiplication sign
                    StrayLead{"\x81\x80", "\xC3\xB7"},          // division sign
                    StrayLead{"\xF9\xFC", "\xEE\x9D\x97"},      // last user-defined code
                    StrayLead{"\x82\xFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    // A lead byte before another lead byte: the second one
                    // starts the next character.
                    StrayLead{"\x81\x0A\x82\xA0", "\xEF\xBF\xBD\n\xE3\x81\x82"}));

// Every two-byte input decodes as the system's converter decodes its units
// one at a time (the rule above), whatever the conversion keeps in tables.
TEST(Cp932, EveryTwoByteInputAgreesWithTheSystemConverter)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    auto unit = [&cd](std::string_view bytes) {
        char buf[16];
        char *src = const_cast<char *>(bytes.data());
        size_t left = bytes.size(), room = sizeof buf;
        char *dst = buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0)
            return std::string("\xEF\xBF\xBD");
        return std::string(buf, dst - buf);
    };
    int mismatches = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            std::string in{static_cast<char>(a), static_cast<char>(b)};
            std::string want;
            size_t i = 0;
            while (i < in.size()) {
                auto c = static_cast<unsigned char>(in[i]);
                size_t n = cp932::IsLeadByte(c) && i + 1 < in.size() &&
                                   cp932::IsTrailByte(static_cast<unsigned char>(in[i + 1]))
                               ? 2 : 1;
                want += c < 0x80 ? std::string(1, in[i]) : unit(std::string_view(in).substr(i, n));
                i += n;
            }
            if (cp932::ToUtf8(in) != want && ++mismatches <= 5)
                ADD_FAILURE() << std::hex << a << " " << b;
        }
    EXPECT_EQ(mismatches, 0);
    iconv_close(cd);
}

// Every code point encodes as the system's converter encodes it alone, both
// the first time (asked) and the second (remembered), mixed with ASCII, from
// UTF-8 and from code points alike.
TEST(Cp932, EveryCodePointEncodesAsTheSystemConverterDoes)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    auto utf8 = [](uint32_t cp) {
        std::string s;
        if (cp < 0x800) {
            s += static_cast<char>(0xC0 | cp >> 6);
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | cp >> 12);
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | cp >> 18);
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        s += static_cast<char>(0x80 | (cp & 0x3F));
        return s;
    };
    int mismatches = 0;
    for (uint32_t cp = 0x80; cp < 0x10100; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::string in = utf8(cp);
        char buf[16];
        char *src = in.data(), *dst = buf;
        size_t left = in.size(), room = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::string want = iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || dst == buf
                               ? std::string("?")
                               : std::string(buf, dst - buf);
        bool lossless = false;
        std::string first = cp932::FromUtf8(in, '?', &lossless);
        std::string again = cp932::FromUtf8("a" + in + in + "b");
        bool wideLossless = false;
        std::wstring wide{L'a', static_cast<wchar_t>(cp), L'b'};
        std::string fromWide = cp932::FromWide(wide, '?', &wideLossless);
        if ((first != want || again != "a" + want + want + "b" || lossless != (want != "?") ||
             fromWide != "a" + want + "b" || wideLossless != lossless) &&
            ++mismatches <= 5)
            ADD_FAILURE() << std::hex << cp;
    }
    EXPECT_EQ(mismatches, 0);
    iconv_close(cd);
    // Code points that are no characters.
    std::wstring bad{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'x'};
    bool lossless = true;
    EXPECT_EQ(cp932::FromWide(bad, '?', &lossless), "??x");
    EXPECT_FALSE(lossless);
}
