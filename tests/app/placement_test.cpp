#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <climits>

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

TEST(Placement, ABareSignInAnyFieldIsRefused)
{
    for (int field = 0; field < 10; ++field) {
        auto with = [&](const std::string &f) {
            std::string text;
            for (int i = 0; i < 10; ++i)
                text += (i ? ":" : "") + (i == field ? f : std::to_string(i + 1));
            return text;
        };
        for (std::string sign : {"+", "-"}) {
            EXPECT_FALSE(ParsePlacement(with(sign))) << with(sign);
            EXPECT_TRUE(ParsePlacement(with(sign + "7"))) << with(sign + "7"); // a sign with digits
        }
    }
    EXPECT_FALSE(ParsePlacement("1:2:3:4:5:6:7:8:9:+ 10")); // no space after the sign
    EXPECT_FALSE(ParsePlacement("1:2:3:4:5:6:7:8:9:+-10"));
}

TEST(Placement, TheRestoredSizeNeverOverflows)
{
    constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    struct Case {
        int32_t left, right;
        std::optional<int> width;
    } cases[] = {
        {0, kMax, kMax},           // the largest width that fits
        {-1, kMax, std::nullopt},  // one more does not
        {kMin, kMax, std::nullopt},
        {kMax, kMin, std::nullopt},
        {kMin, -1, kMax},
        {kMin, 0, std::nullopt},
        {10, 11, 1},               // the smallest width
        {10, 10, std::nullopt},    // nothing
        {10, 9, std::nullopt},     // reversed
    };
    for (const Case &c : cases) {
        WindowPlacement wp{0, 1, -1, -1, -1, -1, c.left, 0, c.right, 300};
        auto size = NormalSize(wp);
        ASSERT_EQ(size.has_value(), c.width.has_value()) << c.left << ".." << c.right;
        if (size) {
            EXPECT_EQ(size->width, *c.width);
            EXPECT_EQ(size->height, 300);
        }
        // The same for the height.
        WindowPlacement tall{0, 1, -1, -1, -1, -1, 0, c.left, 300, c.right};
        EXPECT_EQ(NormalSize(tall).has_value(), c.width.has_value());
    }
}

TEST(Placement, TheStoredRectangleIsHeldWithin32Bits)
{
    WindowPlacement wp;
    SetNormalRect(wp, 200, 150, 605, 326);
    EXPECT_EQ(FormatPlacement(wp), "0:0:0:0:0:0:200:150:805:476");
    SetNormalRect(wp, INT32_MAX - 100, INT32_MIN, 600, 300);
    EXPECT_EQ(wp.right, INT32_MAX);
    EXPECT_EQ(wp.bottom, INT32_MIN + 300);
    SetNormalRect(wp, INT32_MAX - 600, 0, 600, 0);
    EXPECT_EQ(wp.right, INT32_MAX);
}
