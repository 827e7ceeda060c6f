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

int MoveToFailed(const std::string &file, const std::string &failed_maildir, const SendFailure *why,
                 const std::string &name)
{
    std::string kept_as = name.empty() ? BaseName(file) : name;
    if (int err = EnsureMaildir(failed_maildir))
        return err;
    // The reason first, so that the mail never shows in failed/ without it.
    // Not kept is no reason to keep the mail in the outbox.
    std::string reason = ReasonPath(failed_maildir, kept_as);
    if (why && MakeDirs(failed_maildir + "/reasons"))
        WriteFileAtomic(reason, std::string(FailurePhrase(*why)) + "\n" + OneLine(why->detail) + "\n");
    std::string dst = failed_maildir + "/new/" + kept_as;
    int err = 0;
    if (rename(file.c_str(), dst.c_str()) == 0) {
        FsyncDir(failed_maildir + "/new");
        FsyncDir(DirName(file));
        return 0;
    }
    err = errno;
    if (err == EXDEV) {
        // Another file system: a copy delivered there under its own name,
        // then the original goes.
        std::string data, delivered;
        err = ReadFile(file, &data);
        if (!err)
            err = DeliverToMaildir(failed_maildir, data, &delivered);
        if (!err && rename(delivered.c_str(), dst.c_str()) != 0)
            err = errno, unlink(delivered.c_str());
        if (!err) {
            FsyncDir(failed_maildir + "/new");
            if (unlink(file.c_str()) == 0)
                FsyncDir(DirName(file));
            return 0;
        }
    }
    // Stored nowhere else: the mail stays, and so no reason is kept for it.
    unlink(reason.c_str());
    return err;
}

}  // namespace mailsys
