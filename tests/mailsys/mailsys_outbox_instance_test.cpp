// One outbox window per user: tegamiya-outbox started again brings the
// running window forward and ends, however the starts meet. The programs run
// on the test's X display; their windows are found by process with xdotool.
#include "../support/child_process.h"
#include "test_support.h"

#include <cstring>
#include <functional>
#include <thread>

using namespace mailsys_test;

namespace {

// Visible windows of a process titled as the outbox window. xdotool dies
// of an X error when a window it looks at goes away meanwhile (other
// programs' windows on the display): it is asked again then.
int Windows(pid_t pid, bool only_visible = true)
{
    std::string cmd = "xdotool search --all " + std::string(only_visible ? "--onlyvisible " : "") +
                      "--pid " + std::to_string(pid) + " --name '^Outbox - Tegamiya mail$' 2>&1";
    for (;;) {
        FILE *p = popen(cmd.c_str(), "r");
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

bool WaitUntil(const std::function<bool()> &done, int seconds = 60)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

class Outbox {
public:
    Outbox() { pid = testenv::StartProgram({TEGAMIYA_OUTBOX}, &out); }
    ~Outbox()
    {
        if (!Ended())
            testenv::StopProgram(pid);
        close(out);
    }
    // True once the program ended; its exit status in `status`.
    bool Ended()
    {
        if (status >= 0)
            return true;
        int s;
        if (waitpid(pid, &s, WNOHANG) != pid)
            return false;
        status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        return true;
    }
    void Kill()
    {
        kill(pid, SIGKILL);
        WaitUntil([&] { return Ended(); });
    }
    pid_t pid;
    int out = -1, status = -1;
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
        ASSERT_EQ(system(("xdotool search --all --pid " + std::to_string(first.pid) +
                          " --name '^Outbox - Tegamiya mail$' windowunmap --sync %@ >/dev/null 2>&1")
                             .c_str()),
                  0);
        ASSERT_EQ(Windows(first.pid), 0);
        Outbox second;
        ASSERT_TRUE(WaitUntil([&] { return second.Ended(); }));
        EXPECT_EQ(second.status, 0);
        EXPECT_TRUE(WaitUntil([&] { return Windows(first.pid) == 1; }));
        EXPECT_FALSE(first.Ended());
        // A start after the first was killed finds its socket left behind
        // and shows the window itself.
        first.Kill();
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
