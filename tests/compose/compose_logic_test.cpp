// Counting, splitting, pictograph colours, carrier matching and text files,
// as plain functions.
#include "compose/carriers.h"
#include "compose/counting.h"
#include "compose/text_file.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testenv::Sjis;

namespace {

std::string Kanji(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\x8A\xBF"; // 漢
    return s;
}

// Joins the parts back and checks that none cut a double-byte character.
void ExpectWholeCharacters(const std::vector<std::string> &parts, const std::string &body)
{
    std::string joined;
    for (const std::string &p : parts) {
        size_t i = 0;
        while (i < p.size())
            i += (static_cast<unsigned char>(p[i]) >= 0x81 && static_cast<unsigned char>(p[i]) <= 0x9F) ||
                         static_cast<unsigned char>(p[i]) >= 0xE0
                     ? 2
                     : 1;
        EXPECT_EQ(i, p.size()) << "a part ends inside a character";
        joined += p;
    }
    EXPECT_EQ(joined, body);
}

TEST(Split, PartsAreTwiceTheLimitLessTwoBytes)
{
    // 600 kanji with limit 250: 498 + 498 + 204 bytes.
    std::string body = Kanji(600);
    auto parts = SplitBody(body, 250);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].size(), 498u);
    EXPECT_EQ(parts[1].size(), 498u);
    EXPECT_EQ(parts[2].size(), 204u);
    EXPECT_EQ(CountSplitMails(body, 250), 3u);
    // 499 single bytes: 498 + 1.
    parts = SplitBody(std::string(499, 'a'), 250);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1], "a");
}

TEST(Split, NeverCutsADoubleByteCharacter)
{
    // Limit 3: parts of 4 bytes.
    auto parts = SplitBody(Kanji(3), 3);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], Kanji(2));
    // A letter and two kanji: the fifth byte is a trail byte, so the part is
    // the letter and the first kanji.
    std::string body = "a" + Kanji(2);
    EXPECT_EQ(NextSplitLength(body, 3), 3u);
    parts = SplitBody(body, 3);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], "a" + Kanji(1));
    ExpectWholeCharacters(parts, body);
    // Pictographs mixed with text, at the smallest limit.
    body = "ab\xF8\x9F" "c\x8A\xBF\xF9\xF5\r\n\x82\xA0x";
    for (uint32_t limit : {2u, 3u, 4u, 7u}) {
        ExpectWholeCharacters(SplitBody(body, limit), body);
        EXPECT_EQ(CountSplitMails(body, limit), SplitBody(body, limit).size());
    }
}

TEST(Split, LargeLimitsAndSmallOnes)
{
    // The default carriers' limits take parts far beyond 8,047 bytes.
    std::string body(25000, 'x');
    auto parts = SplitBody(body, 10000);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].size(), 19998u);
    EXPECT_EQ(SplitBody(body, 5000)[0].size(), 9998u);
    // Limits below 2 still make progress (as 2: parts of two bytes).
    EXPECT_EQ(SplitBody("abc", 0), (std::vector<std::string>{"ab", "c"}));
    EXPECT_EQ(SplitBody("abc", 1), (std::vector<std::string>{"ab", "c"}));
    // An empty body is one empty mail.
    ASSERT_EQ(SplitBody("", 250).size(), 1u);
    EXPECT_EQ(CountSplitMails("", 250), 1u);
}

TEST(Counting, UnitsAndTheShownNumberOfMails)
{
    EXPECT_EQ(FullWidthCount(10), 5u);               // ten half-width letters
    EXPECT_EQ(FullWidthCount(Kanji(10).size()), 10u); // ten kanji
    EXPECT_EQ(FullWidthCount(2), 1u);                // CR LF
    // The shown number of mails is what sending produces.
    EXPECT_EQ(CountSplitMails(std::string(498, 'a'), 250), 1u);
    EXPECT_EQ(CountSplitMails(std::string(499, 'a'), 250), 2u);
    EXPECT_EQ(CountSplitMails(std::string(500, 'a'), 250), 2u);
    EXPECT_EQ(CountSplitMails(std::string(996, 'a'), 250), 2u);
    EXPECT_EQ(CountSplitMails(std::string(997, 'a'), 250), 3u);
}

TEST(Colours, GroupsInOrderWithTheirCounts)
{
    EXPECT_EQ(PictographColour(0xF89F), (Rgb{255, 0, 0}));
    EXPECT_EQ(PictographColour(0xF8A0), (Rgb{0, 0, 255}));
    EXPECT_EQ(PictographColour(0xF8A3), (Rgb{255, 153, 0}));
    EXPECT_EQ(PictographColour(0xF8A9), (Rgb{50, 255, 50}));
    EXPECT_EQ(PictographColour(0xF8B3), (Rgb{255, 102, 255}));
    EXPECT_EQ(PictographColour(0xF9B9), (Rgb{153, 0, 102}));
    EXPECT_EQ(PictographColour(0xF9F5), (Rgb{0, 50, 153}));
    EXPECT_FALSE(PictographColour(0xF8F1));
    EXPECT_FALSE(PictographColour(0x8140));
    // 171 coloured codes in all.
    int coloured = 0;
    for (unsigned code = 0xF840; code <= 0xF9FC; ++code)
        coloured += PictographColour(static_cast<uint16_t>(code)).has_value();
    EXPECT_EQ(coloured, 171);
}

TEST(Colours, WhatTheCaretColouringTouches)
{
    // A pictograph just typed: coloured, then the caret set black.
    std::string text = "ab\xF8\x9F";
    CaretColouring plan = PlanCaretColouring(text, 4, 4);
    EXPECT_FALSE(plan.untouched);
    ASSERT_TRUE(plan.colour);
    EXPECT_EQ(*plan.colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(plan.colourFrom, 2u);
    EXPECT_EQ(plan.colourTo, 4u);
    EXPECT_EQ(plan.blackFrom, 4u);
    EXPECT_EQ(plan.blackTo, 4u);
    // ASCII after ASCII: nothing changes; "~" and a blank pair are limits.
    EXPECT_TRUE(PlanCaretColouring("xab", 3, 3).untouched);
    EXPECT_TRUE(PlanCaretColouring("a~", 2, 2).untouched);
    EXPECT_FALSE(PlanCaretColouring("~a", 2, 2).untouched);
    EXPECT_TRUE(PlanCaretColouring("  ", 2, 2).untouched);
    EXPECT_TRUE(PlanCaretColouring(" a", 2, 2).untouched);
    EXPECT_FALSE(PlanCaretColouring("\ta", 2, 2).untouched);
    EXPECT_FALSE(PlanCaretColouring("a\r\n", 3, 3).untouched);
    // A kanji or an uncoloured pictograph: black only.
    plan = PlanCaretColouring("\x8A\xBF", 2, 2);
    EXPECT_FALSE(plan.untouched);
    EXPECT_FALSE(plan.colour);
    EXPECT_FALSE(PlanCaretColouring("\xF8\xF1", 2, 2).colour);
    // Near the start: the first two bytes are looked at.
    plan = PlanCaretColouring("\xF9\xF5", 0, 0);
    ASSERT_TRUE(plan.colour);
    EXPECT_EQ(plan.colourFrom, 0u);
    EXPECT_EQ(plan.colourTo, 2u);
    // Two bytes that straddle characters are no pictograph: the trail byte
    // F8 of a kanji followed by a half-width katakana A0.
    EXPECT_FALSE(PlanCaretColouring("\x88\xF8\xA1", 3, 3).colour);
}

TEST(Colours, ASelectionRunningPastThePictograph)
{
    // The caret's selection begins right after a pictograph and runs on:
    // the colour covers the pictograph through the selection's end, then
    // the selection itself is set black.
    const std::string text = "a\xF8\x9F" "bcd\xF9\xF5" "e";
    for (size_t end : {3u, 4u, 6u, 8u, 9u}) {
        CaretColouring plan = PlanCaretColouring(text, 3, end);
        ASSERT_TRUE(plan.colour) << end;
        EXPECT_EQ(*plan.colour, (Rgb{255, 0, 0}));
        EXPECT_EQ(plan.colourFrom, 1u);
        EXPECT_EQ(plan.colourTo, end);
        EXPECT_EQ(plan.blackFrom, 3u);
        EXPECT_EQ(plan.blackTo, end);
    }
    // A selection end beyond the text stops at its end.
    CaretColouring plan = PlanCaretColouring(text, 3, 50);
    EXPECT_EQ(plan.colourTo, text.size());
    EXPECT_EQ(plan.blackTo, text.size());
    // From the very start over a leading pictograph.
    plan = PlanCaretColouring("\xF9\xF5xyz", 0, 4);
    ASSERT_TRUE(plan.colour);
    EXPECT_EQ(plan.colourFrom, 0u);
    EXPECT_EQ(plan.colourTo, 4u);
    EXPECT_EQ(plan.blackFrom, 0u);
    EXPECT_EQ(plan.blackTo, 4u);
}

TEST(Carriers, MailDomainsMatchTheirKeys)
{
    std::vector<std::string> keys;
    for (const MailDomainDefault &d : kDefaultMailDomains)
        keys.push_back(d.key);
    auto carrier = [&](std::string_view domain) -> std::string {
        auto i = FindMailDomainKey(keys, domain);
        return i ? kDefaultMailDomains[*i].carrier : "";
    };
    EXPECT_EQ(carrier("docomo.ne.jp"), "DoCoMo i-mode");
    EXPECT_EQ(carrier("DoCoMo.NE.JP"), "DoCoMo i-mode");
    EXPECT_EQ(carrier("ezweb.ne.jp"), "au");
    for (char region : std::string("tdhcrknsq"))
        EXPECT_EQ(carrier(std::string("jp-") + region + ".ne.jp"), "J-phone") << region;
    EXPECT_EQ(carrier("JP-K.NE.JP"), "J-phone");
    EXPECT_EQ(carrier("t.vodafone.ne.jp"), "vodafon");
    EXPECT_EQ(carrier("sky.tu-ka.ne.jp"), "TU-KA");
    EXPECT_EQ(carrier("pdx.ne.jp"), "H\"");
    // No key for these.
    EXPECT_EQ(carrier("vodafone.ne.jp"), "");
    EXPECT_EQ(carrier("a.b.vodafone.ne.jp"), "");
    EXPECT_EQ(carrier("jp-.ne.jp"), "");
    EXPECT_EQ(carrier("mail.docomo.ne.jp"), "");
    EXPECT_EQ(carrier("docomo.ne.jp.example.com"), "");
    EXPECT_EQ(carrier(""), "");
    EXPECT_TRUE(MailDomainMatches("*x*.jp", "axbx.jp"));
    EXPECT_FALSE(MailDomainMatches("*x*.jp", "x.jp"));
    // A key full of stars against a long domain answers at once.
    EXPECT_FALSE(MailDomainMatches(std::string(60, '*') + "b", std::string(5000, 'a')));
    EXPECT_EQ(*MailDomainOf("a@b@c"), "b@c");
    EXPECT_FALSE(MailDomainOf("name"));
}

TEST(Carriers, PrefixSearchLimitsAndKeyLists)
{
    std::vector<std::string> names;
    for (const CarrierDefault &c : kDefaultCarriers)
        names.push_back(c.name);
    EXPECT_EQ(FindPrefixNoCase(names, "a"), 4u);   // "au": no earlier name begins with a
    EXPECT_EQ(FindPrefixNoCase(names, "pc"), 7u);
    EXPECT_EQ(FindPrefixNoCase(names, "docomo i-mode"), 0u);
    EXPECT_EQ(FindPrefixNoCase(names, ""), 0u);
    EXPECT_FALSE(FindPrefixNoCase(names, "X"));
    // The trail byte of a double-byte character is not folded (0x83 0x41 is
    // not 0x83 0x61).
    EXPECT_FALSE(FindPrefixNoCase({"\x83\x61"}, "\x83\x41"));
    EXPECT_EQ(FindPrefixNoCase({"\x83\x41x"}, "\x83\x41X"), 0u);

    EXPECT_EQ(ParseCarrierLimit("5000"), 5000u);
    EXPECT_EQ(ParseCarrierLimit("250chars"), 250u);
    EXPECT_EQ(ParseCarrierLimit("2"), 2u);
    EXPECT_FALSE(ParseCarrierLimit("1"));
    EXPECT_FALSE(ParseCarrierLimit("0"));
    EXPECT_FALSE(ParseCarrierLimit("abc"));
    EXPECT_FALSE(ParseCarrierLimit(""));

    std::vector<std::string> keys = {"abc", "de", "fgh"};
    EXPECT_EQ(KeyListWithin(keys, 12), keys); // 4 + 3 + 4 + final NUL
    EXPECT_EQ(KeyListWithin(keys, 11), (std::vector<std::string>{"abc", "de", "fg"}));
    EXPECT_EQ(KeyListWithin(keys, 6), (std::vector<std::string>{"abc"}));
}

TEST(TextFile, LineBreaksEncodingsAndLimits)
{
    EXPECT_EQ(BodyTextFromFileBytes("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    // UTF-8 is converted; a byte-order mark dropped; CP932 bytes kept.
    EXPECT_EQ(BodyTextFromFileBytes("\xEF\xBB\xBF\xE6\xBC\xA2\n"), "\x8A\xBF\r\n");
    EXPECT_EQ(BodyTextFromFileBytes("\x8A\xBF\x82\xA0"), "\x8A\xBF\x82\xA0");
    // A character CP932 lacks shows as "?"; the wave dash U+FF5E is 0x8160.
    EXPECT_EQ(BodyTextFromFileBytes("\xF0\x9F\x98\x80~\xEF\xBD\x9E"), "?~\x81\x60");
    // Ctrl+Z and NUL end the text.
    EXPECT_EQ(BodyTextFromFileBytes(std::string("ab\x1A" "cd", 5)), "ab");
    EXPECT_EQ(BodyTextFromFileBytes(std::string("ab\0cd", 5)), "ab");

    testenv::TempHome home;
    fs::path p = home.Path() / "big.txt";
    // 10,240 bytes of the file count: a UTF-8 character cut by the limit
    // goes, and the file is still read as UTF-8.
    std::string big = std::string(10239, 'x') + "\xE6\xBC\xA2" "tail";
    testenv::WriteFile(p, big);
    std::string body;
    ASSERT_EQ(ReadBodyTextFile(p.string(), body), TextFileResult::Ok);
    EXPECT_EQ(body, std::string(10239, 'x'));
    testenv::WriteFile(p, std::string(20000, 'y'));
    ASSERT_EQ(ReadBodyTextFile(p.string(), body), TextFileResult::Ok);
    EXPECT_EQ(body.size(), 10240u);
    // CP932 files: a double-byte character across the limit goes whole, one
    // ending at it stays; a first byte that is a bare LF is a line break.
    const std::string a = "\x82\xA0", fa = "\x83\x74\x83\x40"; // あ, ファ
    const std::pair<std::string, std::string> files[] = {
        {std::string(10239, 'x') + a + "tail", std::string(10239, 'x')},
        {std::string(10238, 'x') + a + "tail", std::string(10238, 'x') + a},
        {std::string(10237, 'x') + a + "tail", std::string(10237, 'x') + a + "t"},
        {std::string(10237, 'x') + fa + "tail", std::string(10237, 'x') + "\x83\x74"},
        {"\nab" + a, "\r\nab" + a},
        {"\n\n", "\r\n\r\n"},
    };
    for (const auto &[bytes, want] : files) {
        testenv::WriteFile(p, bytes);
        ASSERT_EQ(ReadBodyTextFile(p.string(), body), TextFileResult::Ok);
        EXPECT_EQ(body, want) << bytes.size();
    }
    EXPECT_EQ(ReadBodyTextFile((home.Path() / "missing.txt").string(), body), TextFileResult::OpenError);
    fs::create_directory(home.Path() / "folder.txt");
    EXPECT_EQ(ReadBodyTextFile((home.Path() / "folder.txt").string(), body), TextFileResult::ReadError);
}

TEST(TextFile, ALastCharacterEndingAtTheLimitIsKept)
{
    testenv::TempHome home;
    fs::path p = home.Path() / "edge.txt";
    // {UTF-8 character, its CP932 form}: one, two, three and four bytes,
    // each placed to end exactly at byte 10,240, then one byte later.
    const std::pair<std::string, std::string> chars[] = {
        {"z", "z"}, {"\xC2\xA7", "\x81\x98"}, {"\xE6\xBC\xA2", "\x8A\xBF"}, {"\xF0\x9F\x98\x80", "?"}};
    for (const auto &[utf8, sjis] : chars) {
        for (std::string tail : {"", "more"}) {
            std::string lead(kMaxBodyFileBytes - utf8.size(), 'x');
            testenv::WriteFile(p, lead + utf8 + tail);
            std::string body;
            ASSERT_EQ(ReadBodyTextFile(p.string(), body), TextFileResult::Ok);
            EXPECT_EQ(body, lead + sjis) << utf8.size() << " bytes, tail " << tail;
        }
        // One byte later the character is cut by the limit and goes.
        if (utf8.size() > 1) {
            std::string lead(kMaxBodyFileBytes - utf8.size() + 1, 'x');
            testenv::WriteFile(p, lead + utf8);
            std::string body;
            ASSERT_EQ(ReadBodyTextFile(p.string(), body), TextFileResult::Ok);
            EXPECT_EQ(body, lead) << utf8.size() << " bytes, cut";
        }
    }
}

} // namespace
