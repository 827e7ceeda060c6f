// Maildir delivery: a message is written under tmp/, synced, and only then
// linked into new/, so a reader sees either the whole message or none.
#pragma once

#include <string>

namespace mailsys {

// Creates <maildir>/{tmp,new,cur}. Returns 0 or an errno.
int EnsureMaildir(const std::string &maildir);

// Delivers `message` into <maildir>/new/. On success *path is the file's
// path. Returns 0 or an errno; on failure nothing is left behind.
int DeliverToMaildir(const std::string &maildir, const std::string &message, std::string *path);

// Moves a delivered file into <maildir>/cur/ marked as seen (":2,S").
// Returns 0 or an errno; on failure the file stays where it was, except
// when only a folder could not be synced (then *new_path is set).
int MoveToMaildirCur(const std::string &file, const std::string &maildir, std::string *new_path);

// Files a mail of <outbox>/new/ that went out under <sent>/cur/. When that
// fails it still leaves new/, where a sender would send it again: it goes to
// <outbox>/cur/ marked seen, or, failing that too, it is removed. Returns 0
// when it is under Sent, else an errno (*where names the kept copy or is
// empty).
int FileAsSent(const std::string &file, const std::string &sent, const std::string &outbox, std::string *where);

// Claims: a mail of <maildir>/new/ is renamed into <maildir>/claimed/
// before it is handed on. A rename succeeds for one process only, so each
// mail is handed on by exactly one sender; the claimed name carries its
// owner ("<name>:<pid>.<start time>") so that the claim of a process that
// died can be given back.

// Claims `file` (a path in <maildir>/new/). Returns 0 and *claimed, ENOENT
// when the file is no longer there (another sender took it), or another
// errno (the file stays in new/).
int ClaimMail(const std::string &file, std::string *claimed);

// The mail's own name in a claimed path (the owner taken off).
std::string ClaimedMailName(const std::string &claimed);

// Gives a claimed mail back to <maildir>/new/ under its own name. Returns
// 0 (and *back, when given) or an errno.
int ReleaseClaim(const std::string &claimed, std::string *back = nullptr);

// Gives back every claim under <maildir>/claimed/ whose owner process no
// longer runs. Returns how many went back to new/.
int ReturnAbandonedClaims(const std::string &maildir);

// This process as a claim's owner: "<pid>.<start time>"; and whether such
// an owner still runs (the start time tells a reused pid apart).
std::string ThisProcessOwner();
bool OwnerRuns(const std::string &owner);

// Removes files in <maildir>/tmp/ older than 36 hours: leftovers of writers
// that died before finishing.
void CleanMaildirTmp(const std::string &maildir);

}  // namespace mailsys
