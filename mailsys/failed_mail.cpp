#include "failed_mail.h"

#include "fsutil.h"
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

int MoveToFailed(const std::string &file, const std::string &failed_maildir)
{
    int err = EnsureMaildir(failed_maildir);
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
