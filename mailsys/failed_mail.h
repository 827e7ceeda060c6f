// Mail whose hand-off failed: it leaves the outbox for a "failed" Maildir
// beside it, so that nothing waits to go out behind the caller's back after
// the caller was told that no message was sent.
#pragma once

#include <string>

namespace mailsys {

struct SendFailure;

// The failed Maildir beside an outbox: <outbox's folder>/failed.
std::string FailedMaildirFor(const std::string &outbox);

// Moves a mail of the outbox (waiting in new/ or claimed by this process)
// into <failed>/new/ under the name `name` (the file's own name when
// empty): the user may read it there; nothing sends from it. Returns 0
// when the mail is kept under failed/. Otherwise (failed/ cannot be made,
// the copy into it fails) it returns an errno and leaves the mail where it
// was: a mail is never removed before it is stored elsewhere.
// With `why`, the reason is kept beside it (see ReadFailureReason).
int MoveToFailed(const std::string &file, const std::string &failed_maildir, const SendFailure *why = nullptr,
                 const std::string &name = "");

// Why a mail of failed/ failed, kept outside the Maildir's own folders
// (<failed>/reasons/<unique name>: two lines, the English phrase and the
// send program's last word) so that the mail file itself stays as it was
// written and Maildir readers see nothing new. False when none was kept
// (mail failed before reasons were kept, or moved here by hand).
bool ReadFailureReason(const std::string &mail_file, std::string *phrase, std::string *detail);

// Removes a mail's kept reason (when it is deleted or sent again).
void ForgetFailureReason(const std::string &mail_file);

}  // namespace mailsys
