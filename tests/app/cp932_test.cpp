#include "app/cp932.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(cp932::IsValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(cp932::IsValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_TRUE(cp932::EqualsNoCase("Mail Address", "MAIL address"));
    EXPECT_FALSE(cp932::EqualsNoCase("\x83\x41", "\x83\x61"));
}
