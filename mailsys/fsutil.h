// Small POSIX file helpers with errno-style results.
#pragma once

#include <string>
#include <vector>

namespace mailsys {

bool FileExists(const std::string &path);
bool IsDirectory(const std::string &path);
std::string DirName(const std::string &path);
std::string BaseName(const std::string &path);

// Creates the folder and its parents (mode 0700 for new ones).
bool MakeDirs(const std::string &path);

// Writes all of `data` to fd, retrying on EINTR; returns 0 or an errno.
int WriteAll(int fd, const char *data, size_t size);

// The file a path names after following symbolic links (the path itself
// when it is no link); a dangling link gives the path it points to.
std::string FollowLinks(const std::string &path);

// Writes `data` to a temporary file beside the file `path` names (the
// target of a symbolic link, which stays a link), fsyncs it and renames it
// over that file, then fsyncs the folder. An existing file keeps its mode;
// a new one is 0600. Returns 0 or an errno; on failure no temporary file is
// left and the file is unchanged, except when only the final fsync of the
// folder failed (then the new text may or may not survive a crash).
int WriteFileAtomic(const std::string &path, const std::string &data);

// Reads a whole file; returns 0 or an errno.
int ReadFile(const std::string &path, std::string *data);

// Names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::string> ListDir(const std::string &path);

// Syncs a folder, so that the names just made in it survive a crash.
// Returns 0 or an errno (0 on file systems that cannot sync folders).
int FsyncDir(const std::string &path);

// Tests replace how folders are synced, to see a failure handled.
using FsyncDirFunction = int (*)(const std::string &path);
void SetFsyncDirForTesting(FsyncDirFunction function);

}  // namespace mailsys
