// Hands a delivered message to a sendmail-compatible command.
#pragma once

#include <string>
#include <ctime>

namespace mailsys {

// Runs `command` through /bin/sh with the message file as its standard
// input, and waits at most `timeout_seconds` (then kills it). True when the
// command exits with status 0.
// The command gets no other descriptor of the caller than these three, and,
// with `fd3_secret`, descriptor 3: a pipe holding that text (a password),
// so that it is in no file, argument or environment variable.
bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds,
                    const std::string *fd3_secret = nullptr);

// Milliseconds from `start` to `now` (monotonic clock readings).
long long ElapsedMilliseconds(const struct timespec &start, const struct timespec &now);

}  // namespace mailsys
