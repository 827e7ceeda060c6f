// tegamiya-outbox --send: what waits in the outbox is sent without a window
// (from a timer, a script), one line per mail on standard output.
#pragma once

#include <cstdio>

namespace mailsys {

// Exit statuses of the command-line mode.
enum SendModeStatus {
    kAllSent = 0,        // everything that waited went out (or another sender took it)
    kSomeFailed = 1,     // a mail failed (it is under failed/, or waits again)
    kNoAccount = 2,      // no profile, no account or command, or no password known
};

// Sends what waits in the outbox of the user's profile; the lines go to
// `out`, problems with the account to `err`. Returns a SendModeStatus.
int RunSendMode(FILE *out, FILE *err);

}  // namespace mailsys
