// The pictograph catalogue: the 252 pictographs the user can put into a
// mail, each with its number, its name, its two-byte code and its picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// A pictograph's number, 1 to 252. Numbers follow ascending code order
// without gaps; 0 and everything above 252 name no pictograph.
using EmojiIndex = int;

inline constexpr EmojiIndex kEmojiCount = 252;

// Two bytes of CP932 text in the user-defined area, lead byte (0xF8 or 0xF9)
// first; the trail byte lies in 0x40-0x7E or 0x80-0xFC.
struct EmojiCode {
    unsigned char lead;
    unsigned char trail;

    constexpr std::uint16_t value() const { return std::uint16_t(lead << 8 | trail); }
    // The code as program text: the two bytes (c_str() adds the terminator).
    std::string text() const { return {char(lead), char(trail)}; }

    friend constexpr bool operator==(EmojiCode, EmojiCode) = default;
};

struct EmojiInfo {
    EmojiIndex index;
    const char* name;       // CP932, NUL-terminated, at most 26 bytes
    EmojiCode code;
    std::uint16_t picture;  // id of the palette picture, see EmojiPictureFile
};

inline constexpr std::size_t kEmojiNameMax = 26;

// All pictographs in index order: g_emojiTable[k - 1].index == k.
extern const std::array<EmojiInfo, kEmojiCount> g_emojiTable;

// The record of pictograph `index`, or nullptr when no pictograph has that
// number. Names are not unique: the index is the only key.
const EmojiInfo* FindEmoji(EmojiIndex index);

// The record whose code is the given two bytes, or nullptr.
const EmojiInfo* FindEmojiByCode(EmojiCode code);

// The private-use character that code page 932 maps a user-defined-area code
// to (F040-F9FC onto U+E000-U+E757, 188 codes per lead byte). This is where
// the pictograph font has its glyphs. 0 for a code outside that area.
char32_t EmojiPrivateUse(EmojiCode code);

// Where a palette picture lies, relative to the program's folder:
// "emoji/<picture>.bmp", a 48x18 strip of three 16x18 cells (normal,
// pressed, hovered).
std::string EmojiPictureFile(std::uint16_t picture);
