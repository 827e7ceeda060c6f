#include "app/window_placement.h"

#include <gtest/gtest.h>

TEST(Placement, ParsesEveryIntegerForm)
{
    auto wp = ParsePlacement("0x10:-0x1:010:-010:+5: 6:-32000:0:1024:768");
    ASSERT_TRUE(wp);
    EXPECT_EQ(wp->flags, 16);
    EXPECT_EQ(wp->showCmd, -1);
    EXPECT_EQ(wp->minX, 8);
    EXPECT_EQ(wp->minY, -8);
    EXPECT_EQ(wp->maxX, 5);
    EXPECT_EQ(wp->maxY, 6);
    EXPECT_EQ(wp->left, -32000);
    EXPECT_EQ(wp->top, 0);
    EXPECT_EQ(wp->right, 1024);
    EXPECT_EQ(wp->bottom, 768);
}

TEST(Placement, AnythingButTenNumbersIsIgnored)
{
    EXPECT_FALSE(ParsePlacement(""));
    EXPECT_FALSE(ParsePlacement("1:2:3:4:5:6:7:8:9"));
    EXPECT_FALSE(ParsePlacement("1:2:3:4:x:6:7:8:9:10"));
    EXPECT_FALSE(ParsePlacement("1:2:3:4:5:6:7:8:9:"));
    EXPECT_FALSE(ParsePlacement("1;2:3:4:5:6:7:8:9:10"));
    EXPECT_FALSE(ParsePlacement("08:2:3:4:5:6:7:8:9:10")); // "0" then "8" is not octal
    // Trailing text after the tenth number does not matter, as with %i.
    EXPECT_TRUE(ParsePlacement("1:2:3:4:5:6:7:8:9:10:11"));
}

TEST(Placement, FormatsDecimalAndRoundTrips)
{
    WindowPlacement wp{2, 1, -1, -1, -1, -1, 10, 20, 630, 300};
    EXPECT_EQ(FormatPlacement(wp), "2:1:-1:-1:-1:-1:10:20:630:300");
    auto back = ParsePlacement(FormatPlacement(wp));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->right, 630);
    EXPECT_EQ(FormatPlacement(*ParsePlacement("0xFFFFFFFF:0:0:0:0:0:0:0:0:0")), "-1:0:0:0:0:0:0:0:0:0");
}
