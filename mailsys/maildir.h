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

// Removes files in <maildir>/tmp/ older than 36 hours: leftovers of writers
// that died before finishing.
void CleanMaildirTmp(const std::string &maildir);

}  // namespace mailsys
