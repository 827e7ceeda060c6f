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

namespace {

// A pipe whose read end (returned) holds `secret`; -1 on failure. The pipe
// takes the whole text at once (a password is far below its capacity).
int SecretPipe(const std::string &secret)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    bool ok = secret.size() <= 4096 && write(fds[1], secret.data(), secret.size()) == ssize_t(secret.size());
    close(fds[1]);
    // Descriptor 3 itself would keep its close-on-exec flag through dup2.
    if (ok && fds[0] == 3) {
        int moved = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
        close(fds[0]);
        fds[0] = moved;
    }
    if (!ok && fds[0] >= 0) {
        close(fds[0]);
        return -1;
    }
    return fds[0];
}

}  // namespace

bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds,
                    const std::string *fd3_secret)
{
    int secret_fd = -1;
    if (fd3_secret && (secret_fd = SecretPipe(*fd3_secret)) < 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, message_file.c_str(), O_RDONLY, 0);
    if (secret_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, secret_fd, 3);
    // Descriptors the calling program opened without close-on-exec (its
    // files, sockets, pipes) are none of the command's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, secret_fd >= 0 ? 4 : 3);
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
    if (secret_fd >= 0)
        close(secret_fd);
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
