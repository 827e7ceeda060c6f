#include "emoji/emoji_table.h"

#include <algorithm>
#include <string_view>

namespace {

// The names, CP932, in index order. Made at build time from the UTF-8 list
// emoji_names.txt by the tool emoji_names_cp932.
constexpr const char* kNames[] = {
#include "emoji_names_cp932.inc"
};
static_assert(std::size(kNames) == kEmojiCount);

// Inside each range consecutive indices take consecutive codes. The codes
// between the ranges are not pictographs; 0xF97F is no CP932 code at all.
struct CodeRange {
    EmojiIndex first, last;
    std::uint16_t code;
};
constexpr CodeRange kCodeRanges[] = {
    {1, 94, 0xF89F},    {95, 104, 0xF940},  {105, 107, 0xF950}, {108, 110, 0xF955},
    {111, 114, 0xF95B}, {115, 127, 0xF972}, {128, 252, 0xF980},
};

// A run of indices maps onto a run of picture ids, upwards or downwards.
struct PictureRange {
    EmojiIndex first, last;
    std::uint16_t picture;
    int step;
};
constexpr PictureRange kPictureRanges[] = {
    {1, 2, 148, 1},     {3, 3, 158, 1},     {4, 9, 160, 1},     {10, 10, 159, 1},
    {11, 11, 195, 1},   {12, 17, 168, 1},   {18, 18, 405, 1},   {19, 19, 175, 1},
    {20, 20, 406, 1},   {21, 30, 177, 1},   {31, 36, 196, 1},   {37, 39, 192, 1},
    {40, 40, 189, 1},   {41, 41, 211, 1},   {42, 43, 187, 1},   {44, 44, 202, 1},
    {45, 46, 190, 1},   {47, 47, 136, 1},   {48, 48, 150, 1},   {49, 54, 156, -1},
    {55, 55, 157, 1},   {56, 57, 166, 1},   {58, 70, 212, 1},   {71, 71, 203, 1},
    {72, 73, 207, 1},   {74, 75, 205, 1},   {76, 242, 230, 1},  {243, 243, 204, 1},
    {244, 247, 226, 1}, {248, 249, 209, 1}, {250, 250, 398, 1}, {251, 251, 404, 1},
    {252, 252, 399, 1},
};

constexpr std::array<EmojiInfo, kEmojiCount> BuildTable()
{
    std::array<EmojiInfo, kEmojiCount> table{};
    for (const CodeRange& r : kCodeRanges) {
        for (EmojiIndex k = r.first; k <= r.last; ++k) {
            const auto code = std::uint16_t(r.code + (k - r.first));
            table[k - 1].index = k;
            table[k - 1].code = {static_cast<unsigned char>(code >> 8),
                                 static_cast<unsigned char>(code & 0xFF)};
            table[k - 1].name = kNames[k - 1];
        }
    }
    for (const PictureRange& r : kPictureRanges)
        for (EmojiIndex k = r.first; k <= r.last; ++k)
            table[k - 1].picture = std::uint16_t(r.picture + (k - r.first) * r.step);
    return table;
}

constexpr bool IsWellFormed(const std::array<EmojiInfo, kEmojiCount>& table)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        const EmojiInfo& e = table[i];
        if (e.index != EmojiIndex(i + 1) || e.name == nullptr || e.picture == 0)
            return false;
        if (std::string_view(e.name).size() > kEmojiNameMax)
            return false;
        if ((e.code.lead != 0xF8 && e.code.lead != 0xF9) || e.code.trail < 0x40 ||
            e.code.trail == 0x7F || e.code.trail > 0xFC)
            return false;
        if (i > 0 && table[i - 1].code.value() >= e.code.value())
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (table[j].picture == e.picture)
                return false;
    }
    return true;
}

} // namespace

constinit const std::array<EmojiInfo, kEmojiCount> g_emojiTable = BuildTable();
static_assert(IsWellFormed(BuildTable()),
              "every pictograph has its index, a short name, a code in ascending "
              "order and a picture id of its own");

const EmojiInfo* FindEmoji(EmojiIndex index)
{
    if (index < 1 || index > kEmojiCount)
        return nullptr;
    return &g_emojiTable[index - 1];
}

const EmojiInfo* FindEmojiByCode(EmojiCode code)
{
    const auto it = std::lower_bound(
        g_emojiTable.begin(), g_emojiTable.end(), code.value(),
        [](const EmojiInfo& e, std::uint16_t value) { return e.code.value() < value; });
    if (it == g_emojiTable.end() || it->code != code)
        return nullptr;
    return &*it;
}

char32_t EmojiPrivateUse(EmojiCode code)
{
    if (code.lead < 0xF0 || code.lead > 0xF9 || code.trail < 0x40 || code.trail == 0x7F ||
        code.trail > 0xFC)
        return 0;
    const int trail = code.trail < 0x80 ? code.trail - 0x40 : code.trail - 0x41;
    return char32_t(0xE000 + (code.lead - 0xF0) * 188 + trail);
}

std::string EmojiPictureFile(std::uint16_t picture)
{
    return "emoji/" + std::to_string(picture) + ".bmp";
}
