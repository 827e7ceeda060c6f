// Counting the body in full-width characters, cutting it into the mails
// that are sent, and the colours of the pictographs. Plain functions on
// CP932 bytes, with no windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A text colour as red, green, blue.
struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// The body's size in full-width characters: a double-byte character counts
// one, a single byte one half, a line break (CR LF) one; halves round down.
constexpr uint32_t FullWidthCount(size_t bytes)
{
    return static_cast<uint32_t>(bytes / 2);
}

// The length in bytes of the next mail cut from `rest`: at most
// 2 x limit - 2 bytes, one less when that would cut a double-byte character
// in half (judged from the start of `rest`, which begins on a character
// boundary). A cut may fall between the CR and the LF of a line break.
// Limits below 2 are taken as 2, so that every part takes something.
size_t NextSplitLength(std::string_view rest, uint32_t limit);

// The body cut into the mails that are sent, in order; an empty body is one
// empty mail.
std::vector<std::string> SplitBody(std::string_view body, uint32_t limit);

// The number of mails SplitBody gives, without building them.
uint32_t CountSplitMails(std::string_view body, uint32_t limit);

// The colour of a pictograph code (lead byte << 8 | trail byte): the first
// of the seven colour groups that holds it, or nothing.
std::optional<Rgb> PictographColour(uint16_t code);

// What colouring the character before the caret does to a field whose text
// is `text` with the selection [selStart, selEnd) (byte offsets).
struct CaretColouring {
    // Nothing is changed: the two bytes before the caret are ordinary
    // single-byte text (an ASCII character after another one).
    bool untouched = false;
    // When the character before the caret is a coloured pictograph: its
    // colour and the range to colour, [colourFrom, colourTo).
    std::optional<Rgb> colour;
    size_t colourFrom = 0, colourTo = 0;
    // Otherwise (and after the colouring) the selection is set black, so that
    // the text typed next is black: [blackFrom, blackTo).
    size_t blackFrom = 0, blackTo = 0;
};
CaretColouring PlanCaretColouring(std::string_view text, size_t selStart, size_t selEnd);
