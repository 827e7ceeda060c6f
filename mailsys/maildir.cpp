#include "maildir.h"

#include "fsutil.h"

#include <atomic>
#include <cstdlib>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace mailsys {

namespace {

std::string HostPart()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !host[0])
        return "localhost";
    std::string out;
    for (const char *p = host; *p; ++p) {
        if (*p == '/')
            out += "\\057";
        else if (*p == ':')
            out += "\\072";
        else
            out += *p;
    }
    return out;
}

std::string UniqueName()
{
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    timeval tv;
    gettimeofday(&tv, nullptr);
    char buf[128];
    snprintf(buf, sizeof buf, "%lld.M%06ldP%dQ%uR%016llx.", static_cast<long long>(tv.tv_sec),
             static_cast<long>(tv.tv_usec), static_cast<int>(getpid()), ++counter,
             static_cast<unsigned long long>(rng()));
    return buf + HostPart();
}

}  // namespace

int EnsureMaildir(const std::string &maildir)
{
    for (const char *sub : {"tmp", "new", "cur"})
        if (!MakeDirs(maildir + "/" + sub))
            return errno ? errno : EIO;
    return 0;
}

int DeliverToMaildir(const std::string &maildir, const std::string &message, std::string *path)
{
    if (int err = EnsureMaildir(maildir))
        return err;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string name = UniqueName();
        std::string tmp = maildir + "/tmp/" + name;
        std::string dst = maildir + "/new/" + name;
        int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        int err = WriteAll(fd, message.data(), message.size());
        if (!err && fsync(fd) != 0)
            err = errno;
        if (close(fd) != 0 && !err)
            err = errno;
        if (!err) {
            // link() refuses to replace an existing file; rename() is the
            // fallback on file systems without hard links.
            if (link(tmp.c_str(), dst.c_str()) == 0) {
                unlink(tmp.c_str());
            } else if (errno == EEXIST) {
                unlink(tmp.c_str());
                continue;
            } else if (errno == EPERM || errno == ENOTSUP || errno == ENOSYS || errno == EMLINK) {
                if (rename(tmp.c_str(), dst.c_str()) != 0)
                    err = errno;
            } else {
                err = errno;
            }
        }
        // The mail is delivered only once its name in new/ is on disk: a
        // failed sync of the folder is a failed delivery, and the mail that
        // might vanish in a crash is taken back.
        if (!err && (err = FsyncDir(maildir + "/new")) != 0)
            unlink(dst.c_str());
        if (err) {
            unlink(tmp.c_str());
            return err;
        }
        // The name left in tmp/ is gone already; should it come back after a
        // crash, CleanMaildirTmp removes it.
        FsyncDir(maildir + "/tmp");
        *path = dst;
        return 0;
    }
    return EEXIST;
}

int MoveToMaildirCur(const std::string &file, const std::string &maildir, std::string *new_path)
{
    if (int err = EnsureMaildir(maildir))
        return err;
    std::string name = BaseName(file);
    size_t colon = name.find(':');
    if (colon != std::string::npos)
        name.erase(colon);
    std::string dst = maildir + "/cur/" + name + ":2,S";
    if (rename(file.c_str(), dst.c_str()) != 0) {
        if (errno != EXDEV)
            return errno;
        // Another file system: deliver a copy, then remove the original.
        std::string data;
        if (int err = ReadFile(file, &data))
            return err;
        std::string delivered;
        if (int err = DeliverToMaildir(maildir, data, &delivered))
            return err;
        if (rename(delivered.c_str(), dst.c_str()) != 0)
            dst = delivered;
        unlink(file.c_str());
        FsyncDir(DirName(file));
    }
    if (new_path)
        *new_path = dst;
    // The move is done when both folders are on disk.
    if (int err = FsyncDir(maildir + "/cur"))
        return err;
    return FsyncDir(DirName(file));
}

int FileAsSent(const std::string &file, const std::string &sent, const std::string &outbox, std::string *where)
{
    where->clear();
    int err = MoveToMaildirCur(file, sent, where);
    if (err == 0 || !FileExists(file))
        return err;  // moved (perhaps not yet synced)
    if (MoveToMaildirCur(file, outbox, where) != 0 && FileExists(file)) {
        where->clear();
        if (unlink(file.c_str()) == 0)
            FsyncDir(DirName(file));
    }
    return err;
}

namespace {

// The start time of a process (clock ticks after boot, the 22nd field of
// /proc/<pid>/stat), "" when there is no such process.
std::string StartTime(pid_t pid)
{
    std::string stat;
    if (ReadFile("/proc/" + std::to_string(pid) + "/stat", &stat) != 0)
        return "";
    // The command name (2nd field) may hold blanks and brackets: count the
    // fields after its last ')'.
    size_t pos = stat.rfind(')');
    if (pos == std::string::npos)
        return "";
    for (int field = 2; field < 22 && pos != std::string::npos; ++field)
        pos = stat.find(' ', pos + 1);
    if (pos == std::string::npos)
        return "";
    size_t end = stat.find(' ', pos + 1);
    return stat.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
}

// <maildir> of a file in <maildir>/<sub>/.
std::string MaildirOf(const std::string &file) { return DirName(DirName(file)); }

}  // namespace

std::string ThisProcessOwner() { return std::to_string(getpid()) + "." + StartTime(getpid()); }

bool OwnerRuns(const std::string &owner)
{
    size_t dot = owner.find('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    char *end = nullptr;
    long pid = strtol(owner.c_str(), &end, 10);
    if (end != owner.c_str() + dot || pid <= 0)
        return false;
    std::string start = StartTime(static_cast<pid_t>(pid));
    return !start.empty() && start == owner.substr(dot + 1);
}

int ClaimMail(const std::string &file, std::string *claimed)
{
    std::string folder = MaildirOf(file) + "/claimed";
    if (!MakeDirs(folder))
        return errno ? errno : EIO;
    std::string dst = folder + "/" + BaseName(file) + ":" + ThisProcessOwner();
    if (rename(file.c_str(), dst.c_str()) != 0)
        return errno;
    // Should a crash forget the rename, the mail is back in new/ unclaimed:
    // nobody was handed it yet.
    FsyncDir(folder);
    *claimed = dst;
    return 0;
}

std::string ClaimedMailName(const std::string &claimed)
{
    std::string name = BaseName(claimed);
    size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(0, colon);
}

int ReleaseClaim(const std::string &claimed, std::string *back)
{
    std::string dst = MaildirOf(claimed) + "/new/" + ClaimedMailName(claimed);
    if (rename(claimed.c_str(), dst.c_str()) != 0)
        return errno;
    FsyncDir(DirName(dst));
    if (back)
        *back = dst;
    return 0;
}

int ReturnAbandonedClaims(const std::string &maildir)
{
    int returned = 0;
    for (const auto &name : ListDir(maildir + "/claimed")) {
        size_t colon = name.rfind(':');
        if (colon == std::string::npos || OwnerRuns(name.substr(colon + 1)))
            continue;
        // Another process giving it back at the same time: one rename wins.
        if (ReleaseClaim(maildir + "/claimed/" + name) == 0)
            ++returned;
    }
    return returned;
}

void CleanMaildirTmp(const std::string &maildir)
{
    std::string tmp = maildir + "/tmp";
    time_t now = time(nullptr);
    for (const auto &name : ListDir(tmp)) {
        std::string p = tmp + "/" + name;
        struct stat st;
        if (lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > 36 * 3600)
            unlink(p.c_str());
    }
}

}  // namespace mailsys
