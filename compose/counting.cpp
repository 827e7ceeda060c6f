#include "compose/counting.h"

#include "app/cp932.h"

#include <algorithm>
#include <array>

namespace {

struct ColourGroup {
    Rgb colour;
    std::vector<uint16_t> codes;
};

const std::array<ColourGroup, 7> &ColourGroups()
{
    static const std::array<ColourGroup, 7> groups = {{
        {{255, 0, 0},
         {0xF89F, 0xF8A4, 0xF8A7, 0xF8AB, 0xF8AF, 0xF8C1, 0xF8C4, 0xF8C6, 0xF8C7, 0xF8C9, 0xF8D5,
          0xF8DE, 0xF8E1, 0xF8E3, 0xF8E5, 0xF8E6, 0xF8E7, 0xF8EE, 0xF8F0, 0xF97A, 0xF97B, 0xF97C,
          0xF97D, 0xF97E, 0xF980, 0xF991, 0xF992, 0xF993, 0xF994, 0xF996, 0xF99A, 0xF99B, 0xF99C,
          0xF99E, 0xF9A2, 0xF9A4, 0xF9A7, 0xF9A9, 0xF9AA, 0xF9B0, 0xF9B5, 0xF9BC, 0xF9C9, 0xF9CD,
          0xF9D4, 0xF9D9, 0xF9DD, 0xF9DF, 0xF9E0, 0xF9E7, 0xF9E8, 0xF9EA, 0xF9EC, 0xF9EF}},
        {{0, 0, 255},
         {0xF8A0, 0xF8A1, 0xF8A2, 0xF8A5, 0xF8A6, 0xF8AA, 0xF8AE, 0xF8B2, 0xF8B5, 0xF8B8, 0xF8BE,
          0xF8C2, 0xF8C3, 0xF8C5, 0xF8CB, 0xF8CD, 0xF8D6, 0xF8DB, 0xF8EB, 0xF8ED, 0xF8FC, 0xF947,
          0xF981, 0xF997, 0xF999, 0xF9A5, 0xF9A6, 0xF9B3, 0xF9B7, 0xF9C7, 0xF9C8, 0xF9D2, 0xF9D3,
          0xF9D5, 0xF9DE, 0xF9E4, 0xF9E5, 0xF9F6}},
        {{255, 153, 0},
         {0xF8A3, 0xF8A8, 0xF8AC, 0xF8B0, 0xF8B9, 0xF8BD, 0xF8D3, 0xF8D4, 0xF8DA, 0xF8DF, 0xF8E4,
          0xF8EA, 0xF8F3, 0xF8F4, 0xF8F5, 0xF8F6, 0xF8F9, 0xF945, 0xF946, 0xF975, 0xF976, 0xF99F,
          0xF9A0, 0xF9B1, 0xF9B2, 0xF9B8, 0xF9BF, 0xF9CC, 0xF9D1, 0xF9DC, 0xF9E9, 0xF9F1, 0xF9F4,
          0xF9F7, 0xF9F8, 0xF9FA}},
        {{50, 255, 50},
         {0xF8A9, 0xF8AD, 0xF8B1, 0xF8B6, 0xF8BC, 0xF8C0, 0xF8CA, 0xF8D1, 0xF948, 0xF9BE, 0xF9C3,
          0xF9C5, 0xF9DA, 0xF9E3, 0xF9E6, 0xF9EB}},
        {{255, 102, 255},
         {0xF8B3, 0xF8BB, 0xF8C8, 0xF8CC, 0xF8D2, 0xF8DC, 0xF995, 0xF99D, 0xF9A8, 0xF9C0, 0xF9C6,
          0xF9CB, 0xF9CE, 0xF9CF, 0xF9ED}},
        {{153, 0, 102}, {0xF9B9, 0xF9BA, 0xF9F0, 0xF9F2, 0xF9F3, 0xF9F9, 0xF9FB, 0xF9FC}},
        {{0, 50, 153}, {0xF9B4, 0xF9B6, 0xF9D0, 0xF9F5}},
    }};
    return groups;
}

// The offset of the character boundary at or before `pos`, walking from the
// start of the text.
size_t BoundaryAtOrBefore(std::string_view text, size_t pos)
{
    size_t i = 0;
    while (i < pos) {
        size_t len = cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i + len > pos)
            break;
        i += len;
    }
    return i;
}

// The platform's multibyte comparison: characters compared by value, a
// double-byte character as lead << 8 | trail; a shorter text that is a
// beginning of the other is less.
int MultibyteCompare(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    auto next = [](std::string_view s, size_t &k) {
        unsigned c = static_cast<unsigned char>(s[k++]);
        if (cp932::IsLeadByte(static_cast<unsigned char>(c)) && k < s.size())
            c = c << 8 | static_cast<unsigned char>(s[k++]);
        return c;
    };
    while (i < a.size() && j < b.size()) {
        unsigned ca = next(a, i), cb = next(b, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace

size_t NextSplitLength(std::string_view rest, uint32_t limit)
{
    uint64_t n = 2 * static_cast<uint64_t>(std::max<uint32_t>(limit, 2)) - 2;
    if (rest.size() <= n)
        return rest.size();
    return BoundaryAtOrBefore(rest, static_cast<size_t>(n));
}

std::vector<std::string> SplitBody(std::string_view body, uint32_t limit)
{
    std::vector<std::string> parts;
    do {
        size_t n = NextSplitLength(body, limit);
        parts.emplace_back(body.substr(0, n));
        body.remove_prefix(n);
    } while (!body.empty());
    return parts;
}

uint32_t CountSplitMails(std::string_view body, uint32_t limit)
{
    uint32_t mails = 0;
    do {
        body.remove_prefix(NextSplitLength(body, limit));
        ++mails;
    } while (!body.empty());
    return mails;
}

std::optional<Rgb> PictographColour(uint16_t code)
{
    for (const ColourGroup &g : ColourGroups())
        if (std::find(g.codes.begin(), g.codes.end(), code) != g.codes.end())
            return g.colour;
    return std::nullopt;
}

CaretColouring PlanCaretColouring(std::string_view text, size_t selStart, size_t selEnd)
{
    CaretColouring plan;
    selStart = std::min(selStart, text.size());
    selEnd = std::clamp(selEnd, selStart, text.size());
    // The two bytes before the caret (the first two of the text when the
    // caret is nearer the start).
    size_t from = selStart >= 2 ? selStart - 2 : 0;
    std::string_view s = text.substr(from, 2);
    if (MultibyteCompare(s, " ") > 0 && MultibyteCompare(s, "~") <= 0) {
        plan.untouched = true;
        return plan;
    }
    plan.blackFrom = selStart;
    plan.blackTo = selEnd;
    // Only a whole double-byte character is looked up: two bytes that
    // straddle a character boundary are no pictograph.
    if (s.size() == 2 && BoundaryAtOrBefore(text, from) == from &&
        cp932::IsLeadByte(static_cast<unsigned char>(s[0]))) {
        uint16_t code = static_cast<uint16_t>(static_cast<unsigned char>(s[0]) << 8 |
                                              static_cast<unsigned char>(s[1]));
        if (auto c = PictographColour(code)) {
            plan.colour = c;
            plan.colourFrom = from;
            plan.colourTo = std::max(selEnd, from + 2);
        }
    }
    return plan;
}
