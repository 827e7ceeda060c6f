// One outbox window per user: tegamiya-outbox started again brings the
// running window forward and ends, however the starts meet. The programs run
// on the test's X display; their windows are found by process with xdotool.
#include "../support/child_process.h"
#include "test_support.h"

#include <cstring>

using namespace mailsys_test;

namespace {

using testenv::WaitUntil;

// xdotool's search for a process's windows titled as the outbox window.
std::string Search(pid_t pid, bool only_visible = true)
{
    return "xdotool search --all " + std::string(only_visible ? "--onlyvisible " : "") + "--pid " +
           std::to_string(pid) + " --name '^Outbox - Tegamiya mail$'";
}

// Visible windows of a process titled as the outbox window. xdotool dies
// of an X error when a window it looks at goes away meanwhile (other
// programs' windows on the display): it is asked again then.
int Windows(pid_t pid, bool only_visible = true)
{
    for (;;) {
        FILE *p = popen((Search(pid, only_visible) + " 2>&1").c_str(), "r");
        if (!p)
            return -1;
        int n = 0;
        bool error = false;
        char line[256];
        while (fgets(line, sizeof line, p)) {
            ++n;
            error = error || strspn(line, "0123456789") + 1 != strlen(line);  // not a window number
        }
        pclose(p);
        if (!error)
            return n;
    }
}

struct Outbox : testenv::RunningProgram {
    Outbox() : RunningProgram({TEGAMIYA_OUTBOX}) {}
};

TEST(OutboxInstance, ALaterStartBringsTheFirstWindowForward)
{
    TempHome home;
    for (const char *v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "TEGAMIYA_MAIL_LANGUAGE"})
        unsetenv(v);
    setenv("LANG", "C", 1);  // the English title
    std::string runtime = home.root + "/run";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // One after the other: the second brings the first (hidden meanwhile)
    // back and ends with success, showing no window of its own.
    {
        Outbox first;
        ASSERT_TRUE(WaitUntil([&] { return Windows(first.pid) == 1; }));
        // --all: this process's window only, not every outbox window on the display.
        ASSERT_EQ(system((Search(first.pid, false) + " windowunmap --sync %@ >/dev/null 2>&1").c_str()), 0);
        ASSERT_EQ(Windows(first.pid), 0);
        Outbox second;
        ASSERT_TRUE(WaitUntil([&] { return second.Ended(); }));
        EXPECT_EQ(second.status, 0);
        EXPECT_TRUE(WaitUntil([&] { return Windows(first.pid) == 1; }));
        EXPECT_FALSE(first.Ended());
        // A start after the first was killed finds its socket left behind
        // and shows the window itself.
        kill(first.pid, SIGKILL);
        ASSERT_TRUE(WaitUntil([&] { return first.Ended(); }));
        Outbox third;
        EXPECT_TRUE(WaitUntil([&] { return Windows(third.pid) == 1; }));
        EXPECT_FALSE(third.Ended());
    }
    // Both at once: one shows the window, the other ends.
    Outbox a, b;
    ASSERT_TRUE(WaitUntil([&] { return a.Ended() || b.Ended(); }));
    Outbox &ended = a.Ended() ? a : b, &shown = a.Ended() ? b : a;
    EXPECT_EQ(ended.status, 0);
    EXPECT_TRUE(WaitUntil([&] { return Windows(shown.pid) == 1; }));
    EXPECT_EQ(Windows(ended.pid, false), 0);
    EXPECT_FALSE(shown.Ended());
}

}  // namespace
