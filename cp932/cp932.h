// Conversion between the program's CP932 (Shift-JIS) bytes and UTF-8, used
// only at the edges: widgets, files the user brings, the clipboard.
// Never fails as a whole: a bad byte or an unmappable character is replaced,
// not a reason to lose the rest of the text.
#pragma once

#include <string>
#include <string_view>

namespace cp932 {

// True when the byte starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when the byte may follow a lead byte (0x40-0x7E, 0x80-0xFC).
constexpr bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// The length of the character starting at text[i]: 2 for a lead byte
// followed by a byte that can be its trail byte, else 1 (a stray lead byte
// is a character of its own, and the byte after it is read again, as ToUtf8
// reads it). 0 at or past the end.
constexpr size_t CharLength(std::string_view text, size_t i)
{
    if (i >= text.size())
        return 0;
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                   IsTrailByte(static_cast<unsigned char>(text[i + 1]))
               ? 2
               : 1;
}

// The first place at or after `from` where the single-byte character `ch`
// stands, going character by character so that the trail byte of a
// double-byte character (0x40 "@", 0x5C "\\", 0x7C "|" and the letters are
// trail bytes) is never taken for it; npos when there is none. `from` must
// be the start of a character (0, or a place this function returned + 1).
// Every scan of CP932 text for an ASCII character goes through here.
size_t FindAscii(std::string_view text, char ch, size_t from = 0);

// The longest length not above `limit` that ends on a character boundary,
// so that a text cut there never ends in half a character. A lead byte at
// the very end of the text counts as a character whose trail byte was cut
// off (the text itself was cut short): CutAtCharBoundary(t, t.size()) leaves
// it out.
size_t CutAtCharBoundary(std::string_view text, size_t limit);

// CP932 bytes to UTF-8. A byte that starts no valid character becomes
// U+FFFD. The user-defined area F040-F9FC maps to U+E000-U+E757.
std::string ToUtf8(std::string_view cp932);

// UTF-8 to CP932. A character CP932 lacks becomes `substitute`; invalid
// UTF-8 sequences become `substitute` too. When `lossless` is given, it is
// set to false if anything was substituted.
std::string FromUtf8(std::string_view utf8, char substitute = '?', bool *lossless = nullptr);

// The same from code points (wchar_t holds one whole on this platform), as
// a widget's text comes; surrogates and values beyond U+10FFFF are invalid.
std::string FromWide(std::wstring_view text, char substitute = '?', bool *lossless = nullptr);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// Case-insensitive comparison of CP932 texts that folds only single-byte
// ASCII letters; the trail byte of a double-byte character is never folded.
bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace cp932
