#include "outbox_core.h"

#include "failed_mail.h"
#include "fsutil.h"
#include "maildir.h"

#include <cerrno>
#include <unistd.h>

namespace mailsys {

std::string FolderPath(const Profile &profile, OutboxFolder folder)
{
    switch (folder) {
    case OutboxFolder::Failed:
        return FailedMaildirFor(profile.outbox);
    case OutboxFolder::Sent:
        return profile.sent;
    case OutboxFolder::Waiting:
        break;
    }
    return profile.outbox;
}

std::vector<MailRow> ListFolder(const Profile &profile, OutboxFolder folder, MailListCache *cache)
{
    std::string maildir = FolderPath(profile, folder);
    bool with_cur = folder != OutboxFolder::Waiting;
    std::vector<MailRow> rows = cache ? cache->List(maildir, with_cur) : ListMaildir(maildir, with_cur);
    if (folder == OutboxFolder::Failed)
        for (MailRow &r : rows)
            ReadFailureReason(r.path, &r.failure, &r.failure_detail);
    return rows;
}

std::vector<HandOffResult> SendFiles(const Profile &profile, const Credentials &credentials,
                                     const std::vector<std::string> &files, SendSink &sink)
{
    std::vector<HandOffResult> results;
    for (size_t i = 0; i < files.size(); ++i) {
        sink.Sending(i, files.size());
        HandOffResult r = FileExists(files[i]) ? HandOffQueued(profile, credentials, files[i]) : HandOffResult::Sent;
        results.push_back(r);
        sink.Done(i, r);
    }
    return results;
}

int ReturnToOutbox(const Profile &profile, const std::string &failed_file, std::string *path)
{
    // Delivered afresh (a new unique name in new/), then the old file goes:
    // a crash in between leaves a copy in both, never none.
    std::string data;
    if (int err = ReadFile(failed_file, &data))
        return err;
    if (int err = DeliverToMaildir(profile.outbox, data, path))
        return err;
    return DeleteMail(failed_file);
}

int DeleteMail(const std::string &file)
{
    if (unlink(file.c_str()) != 0)
        return errno;
    ForgetFailureReason(file);
    FsyncDir(DirName(file));
    return 0;
}

}  // namespace mailsys
