// Hands a delivered message to a sendmail-compatible command.
#pragma once

#include <string>
#include <ctime>
#include <sys/types.h>

namespace mailsys {

// Runs `command` through /bin/sh with the message file as its standard
// input, and waits at most `timeout_seconds` (then kills it). True when the
// command exits with status 0.
// The command gets no other descriptor of the caller than these three, and,
// with `fd3_secret`, descriptor 3: a pipe holding that text (a password),
// so that it is in no file, argument or environment variable.
// With `why`, a failure is described there (see SendFailure): the command's
// standard error then goes through a pipe of ours, is passed on to our own
// standard error as it comes, and its last line is kept as the detail.
// The exit status comes back through a pipe from a shell between us and
// the command, so it is known whatever the calling program does with
// SIGCHLD.
struct SendFailure;
class SecretText;
// The command reads the file from byte `skip` on (the delivery lines at its
// top are not part of the mail that goes out).
bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds,
                    const SecretText *fd3_secret = nullptr, SendFailure *why = nullptr, off_t skip = 0);

// Why a hand-off failed, as the outbox window tells it beside the mail.
struct SendFailure {
    enum Kind {
        NotStarted,  // the command could not be started
        TimedOut,    // no end within the timeout: killed
        Killed,      // ended by a signal
        Status,      // ended with a status other than 0 (`status`)
        NoConfig,    // msmtp's configuration could not be written
        Damaged,     // the mail's delivery lines cannot be read: not sent
    } kind = Status;
    int status = 0;
    std::string detail;  // the last line the command wrote to standard error, whole, as it came
};

// What happened, in English words that the outbox window translates: by the
// exit status the mail programs share (sysexits.h), else by the kind.
const char *FailurePhrase(const SendFailure &why);

// Milliseconds from `start` to `now` (monotonic clock readings).
long long ElapsedMilliseconds(const struct timespec &start, const struct timespec &now);

}  // namespace mailsys
