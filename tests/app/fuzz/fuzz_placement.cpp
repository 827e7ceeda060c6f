// Fuzz entry point of the placement text ("TegamiyaPos", "EmojiPos"). It
// requires that
//  - a text read as ten numbers, formatted and read again, gives the same
//    ten numbers;
//  - the restored size is computed without overflow (the sanitizers watch);
//  - where every number is short and written in decimal or octal, the
//    result agrees with the C library's "%i:%i:...:%i".
// Built with libFuzzer (clang) as placement_fuzz, and without it into the
// replay driver that runs the corpus and the crashers in CTest.
#include "app/window_placement.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool Equal(const WindowPlacement &a, const WindowPlacement &b)
{
    return a.flags == b.flags && a.showCmd == b.showCmd && a.minX == b.minX && a.minY == b.minY &&
           a.maxX == b.maxX && a.maxY == b.maxY && a.left == b.left && a.top == b.top &&
           a.right == b.right && a.bottom == b.bottom;
}

// No hexadecimal, no run of more than nine digits, no NUL: the C library's
// conversion then has no room for its own range rules.
bool Comparable(const std::string &s)
{
    int run = 0;
    for (char c : s) {
        if (c == 'x' || c == 'X' || c == '\0')
            return false;
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run > 9)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    std::string text(reinterpret_cast<const char *>(data), size);
    auto wp = ParsePlacement(text);
    if (wp) {
        auto back = ParsePlacement(FormatPlacement(*wp));
        Check(back && Equal(*back, *wp));
        if (auto s = NormalSize(*wp)) {
            Check(s->width > 0 && s->height > 0);
            WindowPlacement stored;
            SetNormalRect(stored, wp->left, wp->top, s->width, s->height);
            Check(stored.right == wp->right && stored.bottom == wp->bottom);
        }
    }
    if (Comparable(text)) {
        int v[10];
        int n = std::sscanf(text.c_str(), "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i", &v[0], &v[1], &v[2], &v[3], &v[4],
                            &v[5], &v[6], &v[7], &v[8], &v[9]);
        Check((n == 10) == wp.has_value());
        if (wp) {
            WindowPlacement c{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]};
            Check(Equal(c, *wp));
        }
    }
    return 0;
}
