// The pictograph palette's grid as plain numbers: which cell sits where,
// which control identifier it has, and where the palette is placed.
//
// Cells are numbered 1-255 in rows of 16 (row 16 holds 15 cells, its 16th
// place is empty). Cells 1-252 are the pictographs of the same index;
// 253 and 254 are picture buttons without a picture; 255 is a plain button.
#pragma once

#include "app/window_placement.h"

#include <optional>
#include <string_view>

inline constexpr int kPaletteCells = 255;
inline constexpr int kPaletteColumns = 16;
// Cells that are picture buttons (the pictographs and the two empty ones).
inline constexpr int kPaletteHoverCells = 254;

// A cell's size and the grid's origin in dialog units of the palette.
inline constexpr int kPaletteCellWidthDu = 9;
inline constexpr int kPaletteCellHeightDu = 12;
inline constexpr int kPaletteLeftDu = 7;
inline constexpr int kPaletteTopDu = 4;

struct PaletteCellPlace {
    int row = 0;    // from 1
    int column = 0; // from 1
    int xDu = 0;    // top left corner in dialog units
    int yDu = 0;
};

// Row, column and position of cell k; nothing outside 1-255.
std::optional<PaletteCellPlace> PaletteCellAt(int k);

// The control identifier of cell k: 1038 + k for k <= 128, 1292 + k for
// k >= 129; 0 outside 1-255.
int PaletteControlId(int k);

// The cell whose control has that identifier; 0 for any other identifier.
int PaletteCellOfControl(int id);

// A stored palette placement ("EmojiPos": ten integers joined by ":", each
// decimal, 0x-hexadecimal or 0-octal). An empty text or anything that does
// not give ten numbers gives nothing; text after the tenth number is
// ignored. Only its normal rectangle is used, as stored, without comparing
// it with the screen.
std::optional<WindowPlacement> StoredPalettePlacement(std::string_view text);
