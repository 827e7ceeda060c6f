// The display backend chosen before the toolkit starts.
#include "app/gdk_backend.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(GdkBackend, X11FirstUnlessTheUserChose)
{
    EXPECT_EQ(ChooseGdkBackend(nullptr), "x11,*");
    // An empty value selects no backend in GTK: it counts as unset.
    EXPECT_EQ(ChooseGdkBackend(""), "x11,*");
    EXPECT_EQ(ChooseGdkBackend("wayland"), std::nullopt);
    EXPECT_EQ(ChooseGdkBackend("x11"), std::nullopt);
}

TEST(GdkBackend, OurChoiceLeavesTheEnvironmentAgainAndTheUsersStays)
{
    const char *saved = std::getenv("GDK_BACKEND");
    std::string keep = saved ? saved : "";

    unsetenv("GDK_BACKEND");
    PreferX11Backend();
    ASSERT_NE(std::getenv("GDK_BACKEND"), nullptr);
    EXPECT_STREQ(std::getenv("GDK_BACKEND"), "x11,*");
    RestoreUserBackend();
    EXPECT_EQ(std::getenv("GDK_BACKEND"), nullptr);

    setenv("GDK_BACKEND", "wayland", 1);
    PreferX11Backend();
    RestoreUserBackend();
    EXPECT_STREQ(std::getenv("GDK_BACKEND"), "wayland");

    if (saved)
        setenv("GDK_BACKEND", keep.c_str(), 1);
    else
        unsetenv("GDK_BACKEND");
}

} // namespace
