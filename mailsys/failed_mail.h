// Mail whose hand-off failed: it leaves the outbox for a "failed" Maildir
// beside it, so that nothing waits to go out behind the caller's back after
// the caller was told that no message was sent.
#pragma once

#include <string>

namespace mailsys {

// The failed Maildir beside an outbox: <outbox's folder>/failed.
std::string FailedMaildirFor(const std::string &outbox);

// Moves a file of <outbox>/new/ into <failed>/new/ under the same name (the
// user may read it there; nothing sends from it). When the move is
// impossible the file is removed from the outbox all the same. Returns 0
// when the mail was kept under failed/, else an errno (the mail is gone
// from the outbox either way, unless it cannot be removed either).
int MoveToFailed(const std::string &file, const std::string &failed_maildir);

}  // namespace mailsys
