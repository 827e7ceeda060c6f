#include "handoff.h"

#include "keyring.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <optional>
#include <string>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
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

// The descriptor moved to 10 or above (close-on-exec), so that the spawn's
// own moves onto 2, 3 and 4 never meet it.
int HighFd(int fd)
{
    if (fd < 0 || fd >= 10)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

// A pipe whose read end (returned) holds `secret`; -1 on failure. The pipe
// takes the whole text at once (a password is far below its capacity).
int SecretPipe(const SecretText &secret)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    bool ok = secret.size() <= 4096 && write(fds[1], secret.data(), secret.size()) == ssize_t(secret.size());
    close(fds[1]);
    if (!ok) {
        close(fds[0]);
        return -1;
    }
    return HighFd(fds[0]);
}

// A pipe of ours: the read end stays here, the write end goes to the child.
struct Pipe {
    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read_end = HighFd(fds[0]);
            write_end = HighFd(fds[1]);
            fcntl(read_end, F_SETFL, O_NONBLOCK);
        }
    }
    ~Pipe()
    {
        CloseWrite();
        if (read_end >= 0)
            close(read_end);
    }
    void CloseWrite()
    {
        if (write_end >= 0)
            close(write_end);
        write_end = -1;
    }
    bool ok() const { return read_end >= 0 && write_end >= 0; }
    int read_end = -1, write_end = -1;
};

// The command's standard error: passed on to ours as it comes, the tail
// kept to tell why a hand-off failed.
class ErrorTap {
public:
    int WriteEnd() const { return m_pipe.write_end; }
    void CloseWrite() { m_pipe.CloseWrite(); }
    // What poll() should watch: -1 once the command's side is closed.
    int PollFd() const { return m_eof ? -1 : m_pipe.read_end; }
    // Reads what is there without waiting (a process the command left
    // behind may hold the pipe open).
    void Drain()
    {
        char buf[4096];
        ssize_t n = 0;
        while (!m_eof && m_pipe.read_end >= 0 && (n = read(m_pipe.read_end, buf, sizeof buf)) > 0) {
            ssize_t ignored = write(2, buf, static_cast<size_t>(n));
            (void)ignored;
            m_tail.append(buf, static_cast<size_t>(n));
            if (m_tail.size() > 2 * kTail)
                m_tail.erase(0, m_tail.size() - kTail);
        }
        if (n == 0)
            m_eof = true;
    }
    // The last line that holds anything but blanks, whole (the send
    // programs' error lines are far shorter than the tail kept).
    std::string LastLine() const
    {
        size_t end = m_tail.find_last_not_of(" \t\r\n");
        if (end == std::string::npos)
            return "";
        size_t begin = m_tail.find_last_of("\r\n", end);
        begin = begin == std::string::npos ? 0 : begin + 1;
        return m_tail.substr(begin, end + 1 - begin);
    }

private:
    static constexpr size_t kTail = 8192;
    Pipe m_pipe;
    std::string m_tail;
    bool m_eof = false;
};

// The shell between us and the command reports the command's exit status
// on descriptor 4, which the command does not get: the status reaches us
// whatever the calling program does with SIGCHLD (a host that ignores it or
// reaps every child would take waitpid's answer away).
const char *WrapperScript(bool secret)
{
    return secret ? "/bin/sh -c \"$1\" 4>&-; echo $? >&4" : "/bin/sh -c \"$1\" 3<&- 4>&-; echo $? >&4";
}

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
                    const SecretText *fd3_secret, SendFailure *why, off_t skip)
{
    auto fail = [why](SendFailure::Kind kind, int status, const std::string &detail) {
        if (why)
            *why = {kind, status, detail};
        return false;
    };
    int secret_fd = -1;
    if (fd3_secret && (secret_fd = SecretPipe(*fd3_secret)) < 0)
        return fail(SendFailure::NotStarted, 0, "");
    Pipe status;
    if (!status.ok()) {
        if (secret_fd >= 0)
            close(secret_fd);
        return fail(SendFailure::NotStarted, 0, "");
    }
    // Opened here, so that it can start past the delivery lines; kept above
    // the descriptors the command gets.
    int message_fd = open(message_file.c_str(), O_RDONLY | O_CLOEXEC);
    if (message_fd >= 0 && message_fd < 10) {
        int moved = fcntl(message_fd, F_DUPFD_CLOEXEC, 10);
        close(message_fd);
        message_fd = moved;
    }
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
    posix_spawn_file_actions_adddup2(&actions, status.write_end, 4);
    if (tap && tap->WriteEnd() >= 0)
        posix_spawn_file_actions_adddup2(&actions, tap->WriteEnd(), 2);
    // Descriptors the calling program opened without close-on-exec (its
    // files, sockets, pipes) are none of the command's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 5);
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
    const char *argv[] = {"/bin/sh", "-c", WrapperScript(secret_fd >= 0), "sh", command.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(message_fd);
    if (secret_fd >= 0)
        close(secret_fd);
    status.CloseWrite();
    if (tap)
        tap->CloseWrite();
    if (rc != 0)
        return fail(SendFailure::NotStarted, 0, "");

    // Reaps the shell when it is still ours to reap; someone else may have
    // done so (ECHILD), which changes nothing: its report came on the pipe.
    auto reap = [pid]() {
        int ignored;
        while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
    };
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    std::string report;
    for (;;) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Counted to the millisecond: whole seconds of the clock would end a
        // command up to a second early.
        long long left = static_cast<long long>(timeout_seconds) * 1000 - ElapsedMilliseconds(start, now);
        if (left <= 0) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            reap();
            if (tap)
                tap->Drain();
            return fail(SendFailure::TimedOut, 0, tap ? tap->LastLine() : "");
        }
        pollfd fds[2] = {{status.read_end, POLLIN, 0}, {tap ? tap->PollFd() : -1, POLLIN, 0}};
        poll(fds, 2, static_cast<int>(std::min(left, 1000LL)));
        if (tap)
            tap->Drain();
        char buf[32];
        ssize_t n;
        while ((n = read(status.read_end, buf, sizeof buf)) > 0)
            report.append(buf, static_cast<size_t>(n));
        if (n == 0)
            break;  // the shell is done: its report (if any) is all here
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    reap();
    if (tap)
        tap->Drain();
    std::string detail = tap ? tap->LastLine() : "";
    if (report.empty() || report.find_first_not_of("0123456789\n") != std::string::npos)
        return fail(SendFailure::Killed, 0, detail);  // the shell itself was ended
    int code = atoi(report.c_str());
    if (code == 0)
        return true;
    // The shell tells a command ended by signal N as 128 + N.
    if (code > 128)
        return fail(SendFailure::Killed, code - 128, detail);
    return fail(SendFailure::Status, code, detail);
}

}  // namespace mailsys
