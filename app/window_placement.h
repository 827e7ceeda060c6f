// The stored form of a window's placement: ten integers joined by ":"
// (flags, show command, minimised x, y, maximised x, y, normal left, top,
// right, bottom), as the profile values "TegamiyaPos" and "EmojiPos" hold it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct WindowPlacement {
    int32_t flags = 0;
    int32_t showCmd = 0;
    int32_t minX = 0, minY = 0;
    int32_t maxX = 0, maxY = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Flag added when the window was maximised at close.
constexpr int32_t WPF_RESTORETOMAXIMIZED = 2;

// Show commands.
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMINIMIZED = 2;
constexpr int32_t SW_SHOWMAXIMIZED = 3;
constexpr int32_t SW_SHOW = 5;

// Reads the text as "%i:%i:...:%i": each number decimal, hexadecimal after
// 0x or octal after a leading 0, with an optional sign. Anything but exactly
// ten numbers gives nothing.
std::optional<WindowPlacement> ParsePlacement(std::string_view text);

// "%i:%i:...:%i" in decimal.
std::string FormatPlacement(const WindowPlacement &wp);

// The size of the normal rectangle, right − left by bottom − top, computed
// without overflow; nothing when either does not fit an int or is not
// positive (a corrupt record: the window then keeps its size).
struct PlacementSize {
    int width, height;
};
std::optional<PlacementSize> NormalSize(const WindowPlacement &wp);

// Sets the normal rectangle from a window's position and size; right and
// bottom are held within the 32-bit range.
void SetNormalRect(WindowPlacement &wp, int x, int y, int width, int height);
