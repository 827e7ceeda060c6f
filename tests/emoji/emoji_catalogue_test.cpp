#include "emoji/emoji_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Converts with glibc iconv; returns false on any conversion error.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return false;
    std::string src = in;
    out.assign(src.size() * 4 + 8, '\0');
    char* s = src.data();
    char* d = out.data();
    std::size_t sLeft = src.size(), dLeft = out.size();
    const bool ok = iconv(cd, &s, &sLeft, &d, &dLeft) != std::size_t(-1) && sLeft == 0;
    iconv_close(cd);
    out.resize(out.size() - dLeft);
    return ok;
}

std::u32string DecodeCp932(const std::string& bytes)
{
    std::string utf32;
    if (!Convert("UTF-32LE", "CP932", bytes, utf32))
        return U"<invalid>";
    std::u32string out;
    for (std::size_t i = 0; i + 4 <= utf32.size(); i += 4)
        out += char32_t(std::uint8_t(utf32[i]) | std::uint8_t(utf32[i + 1]) << 8 |
                        std::uint8_t(utf32[i + 2]) << 16 | std::uint32_t(std::uint8_t(utf32[i + 3])) << 24);
    return out;
}

struct Expected {
    EmojiIndex index;
    std::uint16_t code;
    char32_t privateUse;
    std::uint16_t picture;
};

} // namespace

// The seams of the code ranges: the lead-byte change after 94, the skipped
// 0x7F trail byte, the gaps between ranges, and the last code of the area.
TEST(EmojiCatalogue, CodesPrivateUseAndPicturesAtRangeSeams)
{
    const Expected rows[] = {
        {1, 0xF89F, 0xE63E, 148},   {2, 0xF8A0, 0xE63F, 149},   {80, 0xF8EE, 0xE68D, 234},
        {94, 0xF8FC, 0xE69B, 248},  {95, 0xF940, 0xE69C, 249},  {104, 0xF949, 0xE6A5, 258},
        {105, 0xF950, 0xE6AC, 259}, {107, 0xF952, 0xE6AE, 261}, {108, 0xF955, 0xE6B1, 262},
        {110, 0xF957, 0xE6B3, 264}, {111, 0xF95B, 0xE6B7, 265}, {114, 0xF95E, 0xE6BA, 268},
        {115, 0xF972, 0xE6CE, 269}, {127, 0xF97E, 0xE6DA, 281}, {128, 0xF980, 0xE6DB, 282},
        {129, 0xF981, 0xE6DC, 283}, {145, 0xF991, 0xE6EC, 299}, {176, 0xF9B0, 0xE70B, 330},
        {177, 0xF9B1, 0xE70C, 331}, {252, 0xF9FC, 0xE757, 399},
        // Picture ids that do not follow the index: single ids, a run that
        // counts down (49-54), and the ids beyond 396.
        {3, 0xF8A1, 0xE640, 158},   {10, 0xF8A8, 0xE647, 159},  {18, 0xF8B0, 0xE64F, 405},
        {20, 0xF8B2, 0xE651, 406},  {47, 0xF8CD, 0xE66C, 136},  {49, 0xF8CF, 0xE66E, 156},
        {54, 0xF8D4, 0xE673, 151},  {243, 0xF9F3, 0xE74E, 204}, {250, 0xF9FA, 0xE755, 398},
        {251, 0xF9FB, 0xE756, 404},
    };
    for (const Expected& row : rows) {
        SCOPED_TRACE("index " + std::to_string(row.index));
        const EmojiInfo* e = FindEmoji(row.index);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->index, row.index);
        EXPECT_EQ(e->code.value(), row.code);
        EXPECT_EQ(EmojiPrivateUse(e->code), row.privateUse);
        EXPECT_EQ(e->picture, row.picture);
        EXPECT_EQ(FindEmojiByCode(e->code), e);
    }
}

TEST(EmojiCatalogue, NumbersOutsideOneTo252NameNothing)
{
    for (EmojiIndex k : {0, 253, 254, 255, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(FindEmoji(k), nullptr) << k;

    // The codes between the ranges, 0xF97F and codes outside the area are not
    // pictographs.
    std::vector<std::uint16_t> gaps = {0xF89E, 0xF8FD, 0xF93F, 0xF97F, 0xF9FD, 0xF040, 0x82A0};
    for (std::uint16_t c = 0xF94A; c <= 0xF94F; ++c) gaps.push_back(c);
    for (std::uint16_t c = 0xF953; c <= 0xF954; ++c) gaps.push_back(c);
    for (std::uint16_t c = 0xF958; c <= 0xF95A; ++c) gaps.push_back(c);
    for (std::uint16_t c = 0xF95F; c <= 0xF971; ++c) gaps.push_back(c);
    for (std::uint16_t c : gaps)
        EXPECT_EQ(FindEmojiByCode({std::uint8_t(c >> 8), std::uint8_t(c & 0xFF)}), nullptr)
            << std::hex << c;
}

TEST(EmojiCatalogue, EnumerationIsInIndexOrderWithOnePictureEach)
{
    std::set<std::uint16_t> pictures;
    std::uint16_t previous = 0;
    EmojiIndex expected = 1;
    for (const EmojiInfo& e : g_emojiTable) {
        EXPECT_EQ(e.index, expected++);
        EXPECT_GT(e.code.value(), previous) << e.index;
        previous = e.code.value();
        EXPECT_TRUE(pictures.insert(e.picture).second) << "picture " << e.picture << " twice";
    }
    EXPECT_EQ(expected, kEmojiCount + 1);
}

// Every code is two bytes of text that CP932 reads as exactly one
// private-use character, the one the pictograph font has its glyph at.
TEST(EmojiCatalogue, EveryCodeIsOnePrivateUseCharacterUnderCp932)
{
    for (const EmojiInfo& e : g_emojiTable) {
        SCOPED_TRACE("index " + std::to_string(e.index));
        const std::string text = e.code.text();
        ASSERT_EQ(text.size(), 2u);
        EXPECT_EQ(text.c_str()[2], '\0');
        const std::u32string decoded = DecodeCp932(text);
        ASSERT_EQ(decoded.size(), 1u);
        EXPECT_EQ(decoded[0], EmojiPrivateUse(e.code));
        EXPECT_GE(decoded[0], U'\uE000');
        EXPECT_LE(decoded[0], U'\uE757');
    }
}

TEST(EmojiCatalogue, NamesAreTheExactCp932Bytes)
{
    const std::map<EmojiIndex, std::string> names = {
        {1, Bytes({0x90, 0xB0, 0x82, 0xEA})},                                // 晴れ
        {43, Bytes({0x82, 0x60, 0x82, 0x73, 0x82, 0x6C})},                   // ＡＴＭ
        {80, Bytes({0x83, 0x6E, 0x81, 0x5B, 0x83, 0x67})},                   // ハート
        {145, Bytes({0x83, 0x6E, 0x81, 0x5B, 0x83, 0x67})},                  // ハート
        {162, Bytes({0x83, 0x70, 0x83, 0x93, 0x83, 0x60, 0x81, 0x6A})},      // パンチ）
        {166, Bytes({0x96, 0xB0, 0x82, 0xA2, '(', 0x90, 0x87, 0x96, 0xB0, ')'})}, // 眠い(睡眠)
        {168, Bytes({0x8A, 0xB4, 0x92, 0x51, 0x95, 0x84, 0x81, 0x95, 0x8B, 0x5E, 0x96, 0xE2,
                     0x95, 0x84})},                                          // 感嘆符＆疑問符
        {151, Bytes({0x82, 0xAA, 0x82, 0xAD, 0x81, 0x60, 0x81, 0x69, 0x97, 0x8E, 0x92, 0x5F,
                     0x82, 0xB5, 0x82, 0xBD, 0x8A, 0xE7, 0x81, 0x6A})},      // がく～（落胆した顔）
        {219, Bytes({0x83, 0x8C, 0x83, 0x57, 0x83, 0x58, 0x83, 0x5E, 0x81, 0x5B, 0x83, 0x68,
                     0x83, 0x67, 0x83, 0x8C, 0x81, 0x5B, 0x83, 0x68, 0x83, 0x7D, 0x81, 0x5B,
                     0x83, 0x4E})},                                          // レジスタードトレードマーク
        {220, Bytes({0x8A, 0xEB, 0x8C, 0xAF, 0x81, 0x45, 0x8C, 0x78, 0x8D, 0x90})}, // 危険・警告
        {111, "soon"}, {112, "on"}, {113, "end"}, {115, "phone to"}, {116, "mail to"},
        {117, "fax to"}, {125, "ID"}, {212, "NG"}, {135, "1"}, {143, "9"}, {144, "0"},
    };
    for (const auto& [index, bytes] : names)
        EXPECT_EQ(std::string(FindEmoji(index)->name), bytes) << "index " << index;

    EXPECT_EQ(std::string(FindEmoji(219)->name).size(), kEmojiNameMax);
    EXPECT_NE(FindEmoji(80)->code, FindEmoji(145)->code);
}

// Every compiled name reads back under CP932 as the UTF-8 name it was made
// from, and the only name shared by two pictographs is "ハート".
TEST(EmojiCatalogue, NamesRoundTripToTheUtf8List)
{
    std::ifstream list(TEGAMIYA_SOURCE_DIR "/emoji/emoji_names.txt");
    ASSERT_TRUE(list);
    std::map<std::string, int> uses;
    std::string line;
    EmojiIndex index = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        ++index;
        const std::string utf8 = line.substr(line.find('\t') + 1);
        std::string decoded;
        ASSERT_TRUE(Convert("UTF-8", "CP932", FindEmoji(index)->name, decoded)) << index;
        EXPECT_EQ(decoded, utf8) << "index " << index;
        ++uses[utf8];
    }
    EXPECT_EQ(index, kEmojiCount);
    std::set<std::string> shared;
    for (const auto& [name, count] : uses)
        if (count > 1)
            shared.insert(name);
    EXPECT_EQ(shared, std::set<std::string>{"ハート"});
}

// The catalogue's picture ids and the committed artwork agree: every record
// has its 48x18 strip, with a colour table, beside the executable, framed
// grey / navy (black for pictograph 1) / red.
TEST(EmojiCatalogue, EveryRecordHasItsPictureBesideTheProgram)
{
    struct Rgb { int r, g, b; bool operator==(const Rgb&) const = default; };
    for (const EmojiInfo& e : g_emojiTable) {
        SCOPED_TRACE("index " + std::to_string(e.index));
        EXPECT_EQ(EmojiPictureFile(e.picture), "emoji/" + std::to_string(e.picture) + ".bmp");
        std::ifstream f(std::string(TEGAMIYA_OUT_DIR "/") + EmojiPictureFile(e.picture),
                        std::ios::binary);
        ASSERT_TRUE(f);
        const std::vector<unsigned char> b((std::istreambuf_iterator<char>(f)), {});
        ASSERT_GE(b.size(), 54u);
        auto u32 = [&](std::size_t at) { return std::uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24); };
        auto u16 = [&](std::size_t at) { return unsigned(b[at] | b[at + 1] << 8); };
        ASSERT_EQ(b[0], 'B');
        ASSERT_EQ(b[1], 'M');
        const std::uint32_t offset = u32(10);
        ASSERT_EQ(u32(14), 40u);
        EXPECT_EQ(int(u32(18)), 48);
        EXPECT_EQ(int(u32(22)), 18);
        const unsigned bpp = u16(28);
        ASSERT_TRUE(bpp == 4 || bpp == 8);
        EXPECT_EQ(u32(30), 0u);  // no compression
        const std::uint32_t colours = u32(46) ? u32(46) : 1u << bpp;
        ASSERT_EQ(offset, 54 + colours * 4);
        const std::size_t stride = (48 * bpp + 31) / 32 * 4;
        ASSERT_EQ(b.size(), offset + stride * 18);
        // Colour of pixel (x, y), y from the top (the rows are stored bottom-up).
        auto pixel = [&](int x, int y) {
            const std::size_t row = offset + stride * std::size_t(17 - y);
            unsigned i = bpp == 8 ? b[row + x] : (x % 2 ? b[row + x / 2] & 0x0F : b[row + x / 2] >> 4);
            EXPECT_LT(i, colours);
            return Rgb{b[54 + i * 4 + 2], b[54 + i * 4 + 1], b[54 + i * 4]};
        };
        const Rgb frames[3] = {{192, 192, 192}, e.index == 1 ? Rgb{0, 0, 0} : Rgb{0, 0, 128}, {255, 0, 0}};
        for (int cell = 0; cell < 3; ++cell) {
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(pixel(cell * 16 + x, 0), frames[cell]);
                EXPECT_EQ(pixel(cell * 16 + x, 17), frames[cell]);
            }
            for (int y = 0; y < 18; ++y) {
                EXPECT_EQ(pixel(cell * 16, y), frames[cell]);
                EXPECT_EQ(pixel(cell * 16 + 15, y), frames[cell]);
            }
        }
    }
    std::ifstream font(TEGAMIYA_OUT_DIR "/Tegamiya.tte", std::ios::binary);
    EXPECT_TRUE(font) << "the pictograph font is not beside the program";
}
