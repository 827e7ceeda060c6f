#include "mapi/mapi_binding.h"

#include "app/paths.h"
#include "fake_mapi_control.h"

#include <unistd.h>

#include <gtest/gtest.h>

TEST(MapiBinding, BindsAllTwelveEntryPointsOfTheNamedLibrary)
{
    testenv::UseFakeMapi();
    ASSERT_EQ(LoadMapi(), MAPI_BOUND);
    EXPECT_TRUE(g_mapi.library);
    for (void *p : {(void *)g_mapi.MAPILogon, (void *)g_mapi.MAPILogoff, (void *)g_mapi.MAPISendMail,
                    (void *)g_mapi.MAPISendDocuments, (void *)g_mapi.MAPIFindNext, (void *)g_mapi.MAPIReadMail,
                    (void *)g_mapi.MAPISaveMail, (void *)g_mapi.MAPIDeleteMail, (void *)g_mapi.MAPIFreeBuffer,
                    (void *)g_mapi.MAPIAddress, (void *)g_mapi.MAPIDetails, (void *)g_mapi.MAPIResolveName})
        EXPECT_NE(p, nullptr);
    ReleaseMapi();
    EXPECT_EQ(g_mapi.library, nullptr);
    EXPECT_EQ(g_mapi.MAPILogon, nullptr);
    EXPECT_EQ(g_mapi.session, 0u);
}

TEST(MapiBinding, MissingLibraryAndMissingEntryPoint)
{
    setenv("TEGAMIYA_MAPI_LIBRARY", "/nonexistent/libmapi32.so", 1);
    EXPECT_EQ(LoadMapi(), MAPI_LOAD_FAILED);
    EXPECT_EQ(g_mapi.MAPILogon, nullptr);
    setenv("TEGAMIYA_MAPI_LIBRARY", FAKE_MAPI_INCOMPLETE_PATH, 1);
    EXPECT_EQ(LoadMapi(), MAPI_ENTRY_MISSING);
    EXPECT_EQ(g_mapi.library, nullptr);
    EXPECT_EQ(g_mapi.MAPILogon, nullptr); // nothing half-bound
    unsetenv("TEGAMIYA_MAPI_LIBRARY");
}

TEST(MapiBinding, DefaultsToTheLibraryBesideTheProgram)
{
    unsetenv("TEGAMIYA_MAPI_LIBRARY");
    std::string path = MapiLibraryPath();
    EXPECT_TRUE(path == "libmapi32.so" || path.ends_with("/libmapi32.so")) << path;
}

TEST(MapiBinding, AnEmptyLibraryNameFallsBackToTheLibraryBesideTheProgram)
{
    // The build puts the mail library beside the test programs.
    const std::string beside = paths::ExecutableDir() + "libmapi32.so";
    ASSERT_EQ(access(beside.c_str(), F_OK), 0) << beside;
    setenv("TEGAMIYA_MAPI_LIBRARY", "", 1);
    EXPECT_EQ(MapiLibraryPath(), beside);
    setenv("TEGAMIYA_MAPI_LIBRARY", "/x/libother.so", 1);
    EXPECT_EQ(MapiLibraryPath(), "/x/libother.so");
    unsetenv("TEGAMIYA_MAPI_LIBRARY");
    EXPECT_EQ(MapiLibraryPath(), beside);
}
