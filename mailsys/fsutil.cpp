#include "fsutil.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mailsys {

bool FileExists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DirName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeDirs(const std::string &path)
{
    if (path.empty())
        return false;
    if (IsDirectory(path))
        return true;
    std::string parent = DirName(path);
    if (parent != path && !MakeDirs(parent))
        return false;
    return mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && IsDirectory(path));
}

int WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

namespace {

int SyncDir(const std::string &path)
{
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    // Some file systems refuse fsync on folders; that is not a write error.
    return err == EINVAL ? 0 : err;
}

FsyncDirFunction g_fsync_dir = SyncDir;

}  // namespace

int FsyncDir(const std::string &path) { return g_fsync_dir(path); }

void SetFsyncDirForTesting(FsyncDirFunction function) { g_fsync_dir = function ? function : SyncDir; }

std::string FollowLinks(const std::string &path)
{
    std::string p = path;
    // As many links as the kernel follows (40); a longer chain or a loop is
    // left to open() to refuse.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = readlink(p.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size())
            return p;
        target.resize(static_cast<size_t>(n));
        p = target[0] == '/' ? target : DirName(p) + "/" + target;
    }
    return p;
}

int WriteFileAtomic(const std::string &link_or_file, const std::string &data)
{
    // Replacing a symbolic link by a file would cut it off from the file it
    // shares (a profile kept with the user's other settings): the file it
    // names is replaced instead.
    std::string path = FollowLinks(link_or_file);
    struct stat old;
    mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0600;
    std::string tmp = path + ".tmp." + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    int err = fchmod(fd, mode) == 0 ? 0 : errno;
    if (!err)
        err = WriteAll(fd, data.data(), data.size());
    if (!err && fsync(fd) != 0)
        err = errno;
    if (close(fd) != 0 && !err)
        err = errno;
    if (!err && rename(tmp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err) {
        unlink(tmp.c_str());
        return err;
    }
    // Until the folder is synced the new name may vanish in a crash: a
    // failure here is a failed write, although the new text is in place.
    return FsyncDir(DirName(path));
}

int ReadFile(const std::string &path, std::string *data)
{
    data->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            close(fd);
            return err;
        }
        if (n == 0)
            break;
        data->append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return 0;
}

std::vector<std::string> ListDir(const std::string &path)
{
    std::vector<std::string> names;
    DIR *d = opendir(path.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace mailsys
