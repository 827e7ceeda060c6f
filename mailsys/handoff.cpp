#include "handoff.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <optional>
#include <string>
#include <algorithm>
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

// The command's standard error: passed on to ours as it comes, the tail
// kept to tell why a hand-off failed.
class ErrorTap {
public:
    ErrorTap()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            m_read = fds[0];
            m_write = fds[1];
            fcntl(m_read, F_SETFL, O_NONBLOCK);
        }
    }
    ~ErrorTap()
    {
        CloseWrite();
        if (m_read >= 0)
            close(m_read);
    }
    int WriteEnd() const { return m_write; }
    void CloseWrite()
    {
        if (m_write >= 0)
            close(m_write);
        m_write = -1;
    }
    // Reads what is there without waiting (a process the command left
    // behind may hold the pipe open).
    void Drain()
    {
        char buf[4096];
        ssize_t n;
        while (m_read >= 0 && (n = read(m_read, buf, sizeof buf)) > 0) {
            ssize_t ignored = write(2, buf, static_cast<size_t>(n));
            (void)ignored;
            m_tail.append(buf, static_cast<size_t>(n));
            if (m_tail.size() > 8192)
                m_tail.erase(0, m_tail.size() - 4096);
        }
    }
    // The last line that holds anything but blanks, at most 300 bytes.
    std::string LastLine() const
    {
        size_t end = m_tail.find_last_not_of(" \t\r\n");
        if (end == std::string::npos)
            return "";
        size_t begin = m_tail.find_last_of("\r\n", end);
        begin = begin == std::string::npos ? 0 : begin + 1;
        return m_tail.substr(begin, std::min<size_t>(end + 1 - begin, 300));
    }

private:
    int m_read = -1, m_write = -1;
    std::string m_tail;
};

}  // namespace

const char *FailurePhrase(const SendFailure &why)
{
    switch (why.kind) {
    case SendFailure::NotStarted:
        return "The send program could not be started.";
    case SendFailure::TimedOut:
        return "The server did not answer in time.";
    case SendFailure::Killed:
        return "The send program was stopped.";
    case SendFailure::NoConfig:
        return "The account settings could not be written.";
    case SendFailure::Damaged:
        return "The mail's list of recipients is damaged.";
    case SendFailure::Status:
        break;
    }
    switch (why.status) {
    case 65:  // EX_DATAERR
        return "The mail or a recipient was refused.";
    case 67:  // EX_NOUSER
        return "A recipient was refused.";
    case 68:  // EX_NOHOST
        return "The server's name is unknown.";
    case 69:  // EX_UNAVAILABLE
        return "The server refused the mail.";
    case 74:  // EX_IOERR
    case 75:  // EX_TEMPFAIL
        return "The server could not be reached.";
    case 76:  // EX_PROTOCOL
        return "The server's answer was not understood.";
    case 77:  // EX_NOPERM
        return "The server refused the login.";
    case 78:  // EX_CONFIG
        return "The account settings are incomplete.";
    default:
        return "The send program failed.";
    }
}

bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds,
                    const std::string *fd3_secret, SendFailure *why, off_t skip)
{
    auto fail = [why](SendFailure::Kind kind, int status, const std::string &detail) {
        if (why)
            *why = {kind, status, detail};
        return false;
    };
    int secret_fd = -1;
    if (fd3_secret && (secret_fd = SecretPipe(*fd3_secret)) < 0)
        return fail(SendFailure::NotStarted, 0, "");
    // Opened here, so that it can start past the delivery lines.
    int message_fd = open(message_file.c_str(), O_RDONLY | O_CLOEXEC);
    if (message_fd < 0 || lseek(message_fd, skip, SEEK_SET) != skip) {
        if (message_fd >= 0)
            close(message_fd);
        if (secret_fd >= 0)
            close(secret_fd);
        return fail(SendFailure::NotStarted, 0, "");
    }
    std::optional<ErrorTap> tap;
    if (why)
        tap.emplace();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, message_fd, 0);
    if (secret_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, secret_fd, 3);
    if (tap && tap->WriteEnd() >= 0)
        posix_spawn_file_actions_adddup2(&actions, tap->WriteEnd(), 2);
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
    close(message_fd);
    if (secret_fd >= 0)
        close(secret_fd);
    if (tap)
        tap->CloseWrite();
    if (rc != 0)
        return fail(SendFailure::NotStarted, 0, "");

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (tap)
            tap->Drain();
        if (r == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return true;
            std::string detail = tap ? tap->LastLine() : "";
            if (WIFEXITED(status))
                return fail(SendFailure::Status, WEXITSTATUS(status), detail);
            return fail(SendFailure::Killed, WIFSIGNALED(status) ? WTERMSIG(status) : 0, detail);
        }
        if (r < 0 && errno != EINTR)
            return fail(SendFailure::Killed, 0, "");  // reaped by someone else: the outcome is unknown
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Counted to the millisecond: whole seconds of the clock would end a
        // command up to a second early.
        if (ElapsedMilliseconds(start, now) >= static_cast<long long>(timeout_seconds) * 1000) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            if (tap)
                tap->Drain();
            return fail(SendFailure::TimedOut, 0, tap ? tap->LastLine() : "");
        }
        usleep(10000);
    }
}

}  // namespace mailsys
