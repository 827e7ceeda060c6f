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

// Writes `data` to a temporary file beside `path`, fsyncs it and renames it
// over `path`, then fsyncs the folder. Returns 0 or an errno; on failure no
// temporary file is left and `path` is unchanged.
int WriteFileAtomic(const std::string &path, const std::string &data);

// Reads a whole file; returns 0 or an errno.
int ReadFile(const std::string &path, std::string *data);

// Names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::string> ListDir(const std::string &path);

int FsyncDir(const std::string &path);

}  // namespace mailsys
