#include "emoji/palette_layout.h"

namespace {
// The template numbers its controls in two runs: 1039-1166 for rows 1-8,
// 1421-1547 for rows 9-16.
constexpr int kFirstRunBase = 1038;
constexpr int kSecondRunBase = 1292;
constexpr int kFirstRunCells = 128;
} // namespace

std::optional<PaletteCellPlace> PaletteCellAt(int k)
{
    if (k < 1 || k > kPaletteCells)
        return std::nullopt;
    PaletteCellPlace p;
    p.row = (k - 1) / kPaletteColumns + 1;
    p.column = (k - 1) % kPaletteColumns + 1;
    p.xDu = kPaletteLeftDu + kPaletteCellWidthDu * (p.column - 1);
    p.yDu = kPaletteTopDu + kPaletteCellHeightDu * (p.row - 1);
    return p;
}

int PaletteControlId(int k)
{
    if (k < 1 || k > kPaletteCells)
        return 0;
    return k <= kFirstRunCells ? kFirstRunBase + k : kSecondRunBase + k;
}

int PaletteCellOfControl(int id)
{
    if (id > kFirstRunBase && id <= kFirstRunBase + kFirstRunCells)
        return id - kFirstRunBase;
    if (id > kSecondRunBase + kFirstRunCells && id <= kSecondRunBase + kPaletteCells)
        return id - kSecondRunBase;
    return 0;
}

std::optional<WindowPlacement> StoredPalettePlacement(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    return ParsePlacement(text);
}
