#include "failed_mail.h"

#include "fsutil.h"
#include "handoff.h"
#include "maildir.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace mailsys {

std::string FailedMaildirFor(const std::string &outbox)
{
    std::string dir = outbox;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return DirName(dir) + "/failed";
}

namespace {

// <maildir>/reasons/<unique name without the ":2,..." flags>.
std::string ReasonPath(const std::string &maildir, const std::string &mail_name)
{
    return maildir + "/reasons/" + mail_name.substr(0, mail_name.find(':'));
}

// A line of the reason file: no line breaks inside.
std::string OneLine(std::string text)
{
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

}  // namespace

bool ReadFailureReason(const std::string &mail_file, std::string *phrase, std::string *detail)
{
    std::string data;
    if (ReadFile(ReasonPath(DirName(DirName(mail_file)), BaseName(mail_file)), &data) != 0)
        return false;
    size_t nl = data.find('\n');
    *phrase = data.substr(0, nl);
    *detail = nl == std::string::npos ? "" : OneLine(data.substr(nl + 1));
    while (!detail->empty() && detail->back() == ' ')
        detail->pop_back();
    return !phrase->empty();
}

void ForgetFailureReason(const std::string &mail_file)
{
    unlink(ReasonPath(DirName(DirName(mail_file)), BaseName(mail_file)).c_str());
}

int MoveToFailed(const std::string &file, const std::string &failed_maildir, const SendFailure *why)
{
    int err = EnsureMaildir(failed_maildir);
    // The reason first, so that the mail never shows in failed/ without it.
    // Not kept is no reason to keep the mail in the outbox.
    if (!err && why && MakeDirs(failed_maildir + "/reasons"))
        WriteFileAtomic(ReasonPath(failed_maildir, BaseName(file)),
                        std::string(FailurePhrase(*why)) + "\n" + OneLine(why->detail) + "\n");
    if (!err) {
        std::string dst = failed_maildir + "/new/" + BaseName(file);
        if (rename(file.c_str(), dst.c_str()) == 0) {
            FsyncDir(failed_maildir + "/new");
            FsyncDir(DirName(file));
            return 0;
        }
        err = errno;
        if (err == EXDEV) {
            // Another file system: a copy delivered there, then the original
            // goes.
            std::string data, delivered;
            err = ReadFile(file, &data);
            if (!err)
                err = DeliverToMaildir(failed_maildir, data, &delivered);
        }
    }
    // Whatever happened, the mail must not stay where a sender picks it up.
    if (unlink(file.c_str()) != 0 && errno != ENOENT)
        return errno;
    FsyncDir(DirName(file));
    return err;
}

}  // namespace mailsys
