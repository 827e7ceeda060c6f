#include "app/profile.h"

#include "app/profile_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>

namespace {

namespace fs = std::filesystem;

int (*g_fsync)(int) = ::fsync;

// The last settings text read, kept so that the many reads of one file in a
// row (about twenty at start-up) parse it once. It is used again only while
// the file is provably the same: same file, size, modification and change
// times, and those times at least a second older than the read, so that a
// change made later in the same clock tick cannot hide behind equal times.
// A file that changed recently is read again and compared by content.
struct Cache {
    std::string path;
    struct stat st {};
    timespec readAt{};
    size_t hash = 0;
    std::shared_ptr<const ProfileText> doc;
};
std::mutex g_cacheMutex;
Cache g_cache;

bool SameTime(const timespec &a, const timespec &b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
}

void ForgetCache()
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache = Cache{};
}

// The file's text, or nothing when it is missing or cannot be read.
std::shared_ptr<const ProfileText> Load(const std::string &path)
{
    if (path.empty())
        return nullptr;
    // Non-blocking, so that a pipe or device in its place cannot hang the
    // program; only a regular file is read.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        if (g_cache.doc && g_cache.path == path && SameFile(g_cache.st, st) &&
            st.st_ctim.tv_sec + 1 < g_cache.readAt.tv_sec) {
            close(fd);
            return g_cache.doc;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::string data;
    if (st.st_size > 0)
        data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return nullptr;
        }
        if (n == 0)
            break;
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    size_t hash = std::hash<std::string_view>{}(data);
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (!(g_cache.doc && g_cache.path == path && g_cache.hash == hash))
        g_cache.doc = std::make_shared<const ProfileText>(ParseProfileText(data));
    g_cache.path = path;
    g_cache.st = st;
    g_cache.readAt = now;
    g_cache.hash = hash;
    return g_cache.doc;
}

bool Exists(const std::string &path)
{
    std::error_code ec;
    return fs::exists(fs::status(path, ec));
}

bool Save(const std::string &path, const ProfileText &doc, bool createFolders)
{
    if (createFolders) {
        std::error_code ec;
        fs::create_directories(fs::path(path).parent_path(), ec);
    }
    bool ok = WriteFileAtomically(path, SerialiseProfileText(doc));
    int err = errno;
    ForgetCache();
    errno = err;
    return ok;
}

// Where a write of `path` goes: through every symbolic link to the file it
// names, so that a settings file kept elsewhere and linked stays a link and
// the real file gets the change. Nothing for a loop of links.
std::optional<fs::path> WriteTarget(const std::string &path)
{
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        fs::path to = fs::read_symlink(p, ec);
        if (ec)
            return std::nullopt;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return std::nullopt;
}

} // namespace

namespace profile_testing {
int (*SetFsync(int (*fn)(int)))(int)
{
    auto old = g_fsync;
    g_fsync = fn ? fn : ::fsync;
    return old;
}
} // namespace profile_testing

int LeadingDecimal(std::string_view text)
{
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + (c - '0');
        if (v > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(v);
}

bool WriteFileAtomically(const std::string &path, std::string_view data)
{
    if (path.empty())
        return false;
    std::optional<fs::path> resolved = WriteTarget(path);
    if (!resolved) {
        errno = ELOOP;
        return false;
    }
    const fs::path &target = *resolved;
    fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // The folder is opened first: the rename is only durable once the folder
    // is synchronised, and a folder that cannot be opened for that is found
    // out before anything has changed.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return false;
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        close(dfd);
        errno = err;
        return false;
    }
    bool ok = true;
    errno = 0;
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask.
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        ok = fchmod(fd, st.st_mode & 07777) == 0;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        ok = fchmod(fd, 0666 & ~mask) == 0;
    }
    const char *p = data.data();
    size_t left = data.size();
    while (ok && left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && g_fsync(fd) != 0)
        ok = false;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(tmpl.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok) {
        int err = errno; // the caller may report why
        unlink(tmpl.c_str());
        close(dfd);
        errno = err;
        return false;
    }
    // Make the rename itself durable. A failure here means the new text may
    // be lost in a crash: the write has failed. A file system that offers no
    // synchronisation of folders (EINVAL) has nothing better to give.
    if (g_fsync(dfd) != 0 && errno != EINVAL)
        ok = false;
    int err = errno;
    close(dfd);
    errno = err;
    return ok;
}

ProfileFile::ProfileFile(std::string path, bool createFolders)
    : m_path(std::move(path)), m_createFolders(createFolders)
{
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, size_t bufSize) const
{
    std::string result(def);
    if (auto doc = Load(m_path)) {
        if (auto v = ProfileLookup(*doc, section, key))
            result = std::string(*v);
    }
    if (bufSize > 0 && result.size() > bufSize - 1)
        result.resize(bufSize - 1);
    return result;
}

std::vector<std::string> ProfileFile::GetKeys(std::string_view section, std::string_view def) const
{
    std::vector<std::string> keys;
    if (auto doc = Load(m_path))
        keys = ProfileKeys(*doc, section);
    if (keys.empty() && !def.empty())
        keys.emplace_back(def);
    return keys;
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int def) const
{
    if (auto doc = Load(m_path)) {
        if (auto v = ProfileLookup(*doc, section, key))
            return LeadingDecimal(*v);
    }
    return def;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    return WriteStrings({{std::string(section), std::string(key), std::string(value)}});
}

bool ProfileFile::WriteStrings(const std::vector<Entry> &entries)
{
    if (m_path.empty())
        return false;
    ProfileText doc;
    if (auto loaded = Load(m_path)) {
        doc = *loaded;
    } else if (Exists(m_path)) {
        return false; // there but unreadable: never replace what we cannot read
    }
    for (const Entry &e : entries) {
        if (!ProfileSet(doc, e.section, e.key, e.value)) {
            errno = EINVAL;
            return false;
        }
    }
    return Save(m_path, doc, m_createFolders);
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key)
{
    auto loaded = Load(m_path);
    if (!loaded)
        return !m_path.empty() && !Exists(m_path);
    ProfileText doc = *loaded;
    if (!ProfileRemove(doc, section, key))
        return true;
    return Save(m_path, doc, m_createFolders);
}
