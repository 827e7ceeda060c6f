// Hands a delivered message to a sendmail-compatible command.
#pragma once

#include <string>

namespace mailsys {

// Runs `command` through /bin/sh with the message file as its standard
// input, and waits at most `timeout_seconds` (then kills it). True when the
// command exits with status 0.
bool RunSendCommand(const std::string &command, const std::string &message_file, int timeout_seconds);

}  // namespace mailsys
