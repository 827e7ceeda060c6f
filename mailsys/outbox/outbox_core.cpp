#include "outbox_core.h"

#include "failed_mail.h"
#include "fsutil.h"
#include "maildir.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
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

std::string FoldersStamp(const Profile &profile)
{
    std::string stamp;
    for (int i = 0; i < 3; ++i)
        for (const char *sub : {"/new", "/cur"}) {
            std::string dir = FolderPath(profile, static_cast<OutboxFolder>(i)) + sub;
            struct stat st;
            if (stat(dir.c_str(), &st) == 0)
                stamp += std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ";";
            else
                stamp += "-;";
        }
    return stamp;
}

std::vector<HandOffResult> SendFiles(const Profile &profile, const Credentials &credentials,
                                     const std::vector<std::string> &files, SendSink &sink)
{
    std::vector<HandOffResult> results;
    // Mail whose claim a sender that died left behind waits again (it is
    // sent at the next run).
    ReturnAbandonedClaims(profile.outbox);
    for (size_t i = 0; i < files.size(); ++i) {
        sink.Sending(i, files.size());
        // Gone from new/ (another sender claimed it, or it was sent
        // meanwhile): Taken, told apart from what this run sent.
        HandOffResult r = HandOffQueued(profile, credentials, files[i]);
        results.push_back(r);
        sink.Done(i, r);
    }
    return results;
}

std::vector<std::string> WaitingFiles(const Profile &profile)
{
    std::string folder = profile.outbox + "/new";
    std::vector<std::pair<timespec, std::string>> found;
    for (const auto &name : ListDir(folder)) {
        struct stat st;
        std::string path = folder + "/" + name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            found.push_back({st.st_mtim, path});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        if (a.first.tv_sec != b.first.tv_sec)
            return a.first.tv_sec < b.first.tv_sec;
        if (a.first.tv_nsec != b.first.tv_nsec)
            return a.first.tv_nsec < b.first.tv_nsec;
        return a.second < b.second;
    });
    std::vector<std::string> files;
    for (auto &f : found)
        files.push_back(std::move(f.second));
    return files;
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
