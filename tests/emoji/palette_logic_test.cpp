// The palette's grid, the stored placement and the hover button's state as
// plain logic.
#include "emoji/hover_state.h"
#include "emoji/palette_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

namespace {

using Rect = std::array<int, 4>;

struct CellCase {
    int k;
    int row, column, xDu, yDu, id;
};

class PaletteCell : public ::testing::TestWithParam<CellCase> {};

TEST_P(PaletteCell, SitsInItsRowAndColumnWithItsId)
{
    const CellCase &c = GetParam();
    std::optional<PaletteCellPlace> p = PaletteCellAt(c.k);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->row, c.row);
    EXPECT_EQ(p->column, c.column);
    EXPECT_EQ(p->xDu, c.xDu);
    EXPECT_EQ(p->yDu, c.yDu);
    EXPECT_EQ(PaletteControlId(c.k), c.id);
    EXPECT_EQ(PaletteCellOfControl(c.id), c.k);
}

// The grid's corners and the seams of rows and of the two id runs.
INSTANTIATE_TEST_SUITE_P(Edges, PaletteCell,
                         ::testing::Values(CellCase{1, 1, 1, 7, 4, 1039}, CellCase{16, 1, 16, 142, 4, 1054},
                                           CellCase{17, 2, 1, 7, 16, 1055}, CellCase{127, 8, 15, 133, 88, 1165},
                                           CellCase{128, 8, 16, 142, 88, 1166}, CellCase{129, 9, 1, 7, 100, 1421},
                                           CellCase{130, 9, 2, 16, 100, 1422}, CellCase{240, 15, 16, 142, 172, 1532},
                                           CellCase{241, 16, 1, 7, 184, 1533}, CellCase{252, 16, 12, 106, 184, 1544},
                                           CellCase{253, 16, 13, 115, 184, 1545}, CellCase{254, 16, 14, 124, 184, 1546},
                                           CellCase{255, 16, 15, 133, 184, 1547}));

TEST(PaletteGrid, NumbersOutsideTheGridHaveNoCell)
{
    for (int k : {-1, 0, 256, 1000}) {
        EXPECT_FALSE(PaletteCellAt(k)) << k;
        EXPECT_EQ(PaletteControlId(k), 0) << k;
    }
    // Identifiers just outside the two runs, and the gap between them.
    for (int id : {0, 1038, 1167, 1300, 1420, 1548, 1025})
        EXPECT_EQ(PaletteCellOfControl(id), 0) << id;
}

TEST(PaletteGrid, EveryCellHasItsOwnIdAndPlace)
{
    for (int k = 1; k <= kPaletteCells; ++k)
        ASSERT_EQ(PaletteCellOfControl(PaletteControlId(k)), k);
    // The 16th place of the last row stays empty: no cell lies at column 16, row 16.
    EXPECT_EQ(PaletteCellAt(kPaletteCells)->column, 15);
}

struct PosCase {
    const char *text;
    std::optional<std::array<int, 4>> rect; // left, top, right, bottom
};

class StoredPos : public ::testing::TestWithParam<PosCase> {};

TEST_P(StoredPos, GivesTheNormalRectangleOrNothing)
{
    const PosCase &c = GetParam();
    std::optional<WindowPlacement> r = StoredPalettePlacement(c.text);
    ASSERT_EQ(r.has_value(), c.rect.has_value()) << c.text;
    if (r) {
        EXPECT_EQ((std::array<int, 4>{r->left, r->top, r->right, r->bottom}), *c.rect) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredPos,
    ::testing::Values(PosCase{"0:1:-1:-1:-1:-1:640:10:918:337", Rect{640, 10, 918, 337}},
                      // Only the rectangle counts; the other six numbers may be anything.
                      PosCase{"2:3:5:6:7:8:1:2:3:4", Rect{1, 2, 3, 4}},
                      // Off the screen is taken as it is.
                      PosCase{"0:1:0:0:0:0:-5000:-4000:-4722:-3673", Rect{-5000, -4000, -4722, -3673}},
                      // Hexadecimal and octal, as the stored format reads them.
                      PosCase{"0:1:0:0:0:0:0x10:010:0X20:+20", Rect{16, 8, 32, 20}},
                      // More than ten: the first ten count.
                      PosCase{"0:1:0:0:0:0:1:2:3:4:99", Rect{1, 2, 3, 4}},
                      // Nine fields, text that is no number, empty: nothing.
                      PosCase{"0:1:0:0:0:0:1:2:3", std::nullopt}, PosCase{"0:1:0:0:0:0:1:2:3:", std::nullopt},
                      PosCase{"zero:1:0:0:0:0:1:2:3:4", std::nullopt}, PosCase{"0:1:0:0:0:0:1:2:3:x", std::nullopt},
                      PosCase{"", std::nullopt}));

TEST(HoverCell, PressedWinsOverHovered)
{
    EXPECT_EQ(CellForState(false, false), StripCell::Normal);
    EXPECT_EQ(CellForState(false, true), StripCell::Hovered);
    EXPECT_EQ(CellForState(true, false), StripCell::Pressed);
    EXPECT_EQ(CellForState(true, true), StripCell::Pressed);
}

TEST(HoverTracking, OneHoverReportUntilTheLeave)
{
    HoverTracker t;
    ASSERT_TRUE(t.OnMove());
    t.TrackingRequested(true);
    EXPECT_FALSE(t.Hovering());
    EXPECT_TRUE(t.OnHover());
    EXPECT_TRUE(t.Hovering());
    // Moving inside after the report asks nothing and changes nothing.
    EXPECT_FALSE(t.OnMove());
    EXPECT_FALSE(t.OnHover());
    EXPECT_TRUE(t.OnLeave());
    EXPECT_FALSE(t.Hovering());
    EXPECT_FALSE(t.TrackRequested());
    // The next move asks again.
    EXPECT_TRUE(t.OnMove());
}

TEST(HoverTracking, LeaveBeforeTheHoverReportReturnsToOutside)
{
    HoverTracker t;
    t.TrackingRequested(true);
    EXPECT_TRUE(t.OnLeave());
    // The hover report that was on its way arrives late: it is stale.
    EXPECT_FALSE(t.OnHover());
    EXPECT_FALSE(t.Hovering());
}

TEST(HoverTracking, ARefusedRequestIsMadeAgainOnTheNextMove)
{
    HoverTracker t;
    ASSERT_TRUE(t.OnMove());
    t.TrackingRequested(false);
    EXPECT_FALSE(t.OnHover());
    EXPECT_TRUE(t.OnMove());
}

TEST(ThreeDColours, TheThreeGreysTakeTheThemesColours)
{
    const ThreeDColours theme{0xF6F5F4, 0x112233, 0xABCDEF};
    EXPECT_EQ(MapThreeDColour(0xC0C0C0, theme), 0xF6F5F4u);
    EXPECT_EQ(MapThreeDColour(0x808080, theme), 0x112233u);
    EXPECT_EQ(MapThreeDColour(0xDFDFDF, theme), 0xABCDEFu);
    // Neighbouring greys and the frames of the other cells stay.
    for (uint32_t c : {0xBFBFBFu, 0xC1C1C1u, 0xC0C0C1u, 0x7F7F7Fu, 0xE0E0E0u, 0xFF0000u, 0x000080u, 0u})
        EXPECT_EQ(MapThreeDColour(c, theme), c) << std::hex << c;
}

} // namespace
