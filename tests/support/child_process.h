// Programs a test starts beside it (servers, daemons, writers it kills):
// started with their standard output (and input) on pipes, read a line at a
// time within a time limit, stopped. Plain POSIX, for tests with or without
// windows.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace testenv {

// Starts a program with its standard output (and, when `in_fd` is given,
// standard input) on pipes; returns its pid, or -1.
inline pid_t StartProgram(std::vector<std::string> args, int *out_fd, int *in_fd = nullptr)
{
    int out[2], in[2] = {-1, -1};
    if (pipe(out) != 0)
        return -1;
    if (in_fd && pipe(in) != 0) {
        close(out[0]);
        close(out[1]);
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        if (in_fd)
            dup2(in[0], 0);
        for (int fd : {out[0], out[1], in[0], in[1]})
            if (fd > 2)
                close(fd);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    *out_fd = out[0];
    if (in_fd) {
        close(in[0]);
        *in_fd = in[1];
    }
    return pid;
}

// Asks a started program to end and waits for it.
inline void StopProgram(pid_t pid)
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

// A line of a program's output (without its line end), waiting at most
// `seconds` for it; "" when none came.
inline std::string ReadLineFrom(int fd, int seconds)
{
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) != 1)
            continue;
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

// A program started with its output on a pipe, for the life of the object
// (stopped at the end unless it ended).
class RunningProgram {
public:
    explicit RunningProgram(std::vector<std::string> args) { pid = StartProgram(std::move(args), &m_out); }
    ~RunningProgram()
    {
        if (!Ended())
            StopProgram(pid);
        if (m_out >= 0)
            close(m_out);
    }
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    // True once the program ended: then its exit status (128 + the signal
    // that ended it) is in `status`, all it printed in `output`.
    bool Ended()
    {
        int st;
        if (status < 0 && waitpid(pid, &st, WNOHANG) == pid) {
            char buf[4096];
            for (ssize_t n; (n = read(m_out, buf, sizeof buf)) > 0;)
                output.append(buf, static_cast<size_t>(n));
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        return status >= 0;
    }

    pid_t pid = -1;
    int status = -1;
    std::string output;

private:
    int m_out = -1;
};

// Waits until `done` holds, at most `seconds`.
template <class Pred> bool WaitUntil(Pred done, int seconds = 60)
{
    for (int i = 0; i < seconds * 100 && !done(); ++i)
        usleep(10000);
    return done();
}

// A server program that prints the port it listens on as its first line
// (the SMTP servers in tests/mailsys), for the life of the object. `port`
// is 0 when it did not start. Its output stays open while it runs: it may
// still write.
class ServerProgram {
public:
    explicit ServerProgram(std::vector<std::string> args)
    {
        m_pid = StartProgram(std::move(args), &m_out);
        if (m_pid > 0)
            port = std::atoi(ReadLineFrom(m_out, 30).c_str());
    }
    ~ServerProgram()
    {
        StopProgram(m_pid);
        if (m_out >= 0)
            close(m_out);
    }
    ServerProgram(const ServerProgram &) = delete;
    ServerProgram &operator=(const ServerProgram &) = delete;

    // The next line the server prints after its port ("" when none came
    // within `seconds`).
    std::string NextLine(int seconds) { return ReadLineFrom(m_out, seconds); }

    int port = 0;

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

} // namespace testenv
