#include "handoff.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace mailsys {

long long ElapsedMilliseconds(const timespec &start, const timespec &now)
{
    long long ns = (static_cast<long long>(now.tv_sec) - start.tv_sec) * 1000000000LL + (now.tv_nsec - start.tv_nsec);
    return ns / 1000000;
}

bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, message_file.c_str(), O_RDONLY, 0);
    // Descriptors the calling program opened without close-on-exec (its
    // files, sockets, pipes) are none of the command's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that a timeout ends the whole pipeline; and
    // default signal handling whatever the calling program set up.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const char *argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return false;

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0 && errno != EINTR)
            return false;  // reaped by someone else: the outcome is unknown
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Counted to the millisecond: whole seconds of the clock would end a
        // command up to a second early.
        if (ElapsedMilliseconds(start, now) >= static_cast<long long>(timeout_seconds) * 1000) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        usleep(10000);
    }
}

}  // namespace mailsys
