#include "app/window_placement.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

namespace {

// One "%i" conversion at text[pos]: leading white space, a sign, then a
// decimal, 0x-hexadecimal or 0-octal number. Out-of-range values wrap to 32
// bits as the C library's conversion into an int does on this platform.
bool ScanInt(std::string_view text, size_t &pos, int32_t &out)
{
    size_t i = pos;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';
    int base = 10;
    size_t digitsStart = i;
    if (i < text.size() && text[i] == '0') {
        if (i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            base = 16;
            i += 2;
            digitsStart = i;
        } else {
            base = 8;
        }
    }
    uint64_t v = 0;
    size_t j = i;
    for (; j < text.size(); ++j) {
        int d;
        char c = text[j];
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        if (d >= base)
            break;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull)
            v &= 0xFFFFFFFFull; // keep the low 32 bits
    }
    if (j == digitsStart)
        return false;
    uint32_t u = static_cast<uint32_t>(v);
    if (neg)
        u = 0u - u;
    out = static_cast<int32_t>(u);
    pos = j;
    return true;
}

} // namespace

std::optional<WindowPlacement> ParsePlacement(std::string_view text)
{
    int32_t v[10];
    size_t pos = 0;
    for (int n = 0; n < 10; ++n) {
        if (n > 0) {
            if (pos >= text.size() || text[pos] != ':')
                return std::nullopt;
            ++pos;
        }
        if (!ScanInt(text, pos, v[n]))
            return std::nullopt;
    }
    WindowPlacement wp;
    wp.flags = v[0];
    wp.showCmd = v[1];
    wp.minX = v[2];
    wp.minY = v[3];
    wp.maxX = v[4];
    wp.maxY = v[5];
    wp.left = v[6];
    wp.top = v[7];
    wp.right = v[8];
    wp.bottom = v[9];
    return wp;
}

std::string FormatPlacement(const WindowPlacement &wp)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i", wp.flags, wp.showCmd, wp.minX,
                  wp.minY, wp.maxX, wp.maxY, wp.left, wp.top, wp.right, wp.bottom);
    return buf;
}

std::optional<PlacementSize> NormalSize(const WindowPlacement &wp)
{
    int64_t w = int64_t{wp.right} - wp.left, h = int64_t{wp.bottom} - wp.top;
    if (w <= 0 || h <= 0 || w > std::numeric_limits<int>::max() || h > std::numeric_limits<int>::max())
        return std::nullopt;
    return PlacementSize{static_cast<int>(w), static_cast<int>(h)};
}

void SetNormalRect(WindowPlacement &wp, int x, int y, int width, int height)
{
    auto held = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    wp.left = x;
    wp.top = y;
    wp.right = held(int64_t{x} + width);
    wp.bottom = held(int64_t{y} + height);
}
