// Hands a delivered message to a sendmail-compatible command.
#pragma once

#include <string>

namespace mailsys {

// Runs `command` through /bin/sh with the message file as its standard
// input, and waits at most `timeout_seconds` (then kills it). True when the
// command exits with status 0. With `fd3_secret`, the command can read that
// text (a password) from file descriptor 3, a pipe: it is in no file, no
// argument and no environment variable.
bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds,
                    const std::string *fd3_secret = nullptr);

}  // namespace mailsys
