// The logon dialog in a program that does not use wx itself: the library
// starts wx on its own. The dialog is driven from outside with xdotool, as a
// user's keyboard would.
#include "test_support.h"

#include <sys/wait.h>

using namespace mailsys_test;

namespace {

// Without a display the dialog cannot be shown: the logon fails cleanly.
TEST(PlainProgram, LogonWithoutDisplayFails)
{
    TempHome home(false);
    pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        LHANDLE h = 0;
        _exit(static_cast<int>(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h)));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), MAPI_E_LOGIN_FAILURE);
    EXPECT_FALSE(FileExists(home.root + "/config/tegamiya-mail/profile.conf"));
}

TEST(PlainProgram, LogonDialogStartsWxItself)
{
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    if (system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is missing";
    TempHome home(false);
    pid_t keys = fork();
    if (keys == 0) {
        // Typed once the dialog is on screen and has the keyboard. Its OK
        // button follows the fields when the dialog is next idle, so Return
        // is pressed until the dialog is gone (at most ~30 s; then Escape,
        // and the test fails rather than hangs).
        const char *script =
            "t='^Mail system: set up the sender$'; "
            "w=$(xdotool search --sync --onlyvisible --name \"$t\" | head -n1) && "
            "xdotool windowfocus --sync $w && "
            "xdotool type --delay 20 'Plain User' && xdotool key Tab && "
            "xdotool type --delay 20 'plain@example.org' && "
            "for i in $(seq 300); do "
            "  xdotool search --onlyvisible --name \"$t\" >/dev/null || exit 0; "
            "  xdotool key Return; sleep 0.1; "
            "done; xdotool key Escape; exit 1";
        execl("/bin/sh", "sh", "-c", script, static_cast<char *>(nullptr));
        _exit(127);
    }
    LHANDLE h = 0;
    ULONG rc = MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &h);
    int status = 0;
    waitpid(keys, &status, 0);
    ASSERT_EQ(rc, 0u);
    std::string profile = ReadText(home.root + "/config/tegamiya-mail/profile.conf");
    EXPECT_NE(profile.find("name = Plain User\n"), std::string::npos);
    EXPECT_NE(profile.find("address = plain@example.org\n"), std::string::npos);
    EXPECT_EQ(MAPILogoff(h, 0, 0, 0), 0u);
}

}  // namespace
