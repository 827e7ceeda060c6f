#include "compose/shortcut.h"

#include <liblnk.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace {

using Getter = int (*)(liblnk_file_t *, uint8_t *, size_t, liblnk_error_t **);
using SizeGetter = int (*)(liblnk_file_t *, size_t *, liblnk_error_t **);

void Forget(liblnk_error_t *&error)
{
    if (error)
        liblnk_error_free(&error);
}

// A UTF-8 string of the shortcut ("" when it has none).
std::string Read(liblnk_file_t *file, SizeGetter size, Getter get)
{
    liblnk_error_t *error = nullptr;
    size_t n = 0;
    if (size(file, &n, &error) != 1 || n == 0) {
        Forget(error);
        return {};
    }
    std::vector<uint8_t> buf(n);
    if (get(file, buf.data(), buf.size(), &error) != 1) {
        Forget(error);
        return {};
    }
    return std::string(reinterpret_cast<const char *>(buf.data()));
}

// Windows separators to ours.
std::string Slashes(std::string s)
{
    for (char &c : s)
        if (c == '\\')
            c = '/';
    return s;
}

bool Exists(const std::string &path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

} // namespace

bool ResolveShortcutFile(const std::string &link, std::string &target)
{
    target.clear();
    liblnk_error_t *error = nullptr;
    liblnk_file_t *file = nullptr;
    if (liblnk_file_initialize(&file, &error) != 1) {
        Forget(error);
        return false;
    }
    std::unique_ptr<liblnk_file_t *, void (*)(liblnk_file_t **)> owner(&file, [](liblnk_file_t **f) {
        liblnk_error_t *e = nullptr;
        liblnk_file_free(f, &e);
        Forget(e);
    });
    // Narrow strings of shortcuts made on Japanese systems are CP932.
    liblnk_file_set_ascii_codepage(file, LIBLNK_CODEPAGE_WINDOWS_932, &error);
    Forget(error);
    if (liblnk_file_open(file, link.c_str(), LIBLNK_OPEN_READ, &error) != 1) {
        Forget(error);
        return false;
    }
    std::string relative = Slashes(Read(file, liblnk_file_get_utf8_relative_path_size,
                                        liblnk_file_get_utf8_relative_path));
    std::string local = Read(file, liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
    liblnk_file_close(file, &error);
    Forget(error);

    std::string folder;
    if (size_t slash = link.rfind('/'); slash != std::string::npos)
        folder = link.substr(0, slash + 1);
    std::vector<std::string> candidates;
    // The relative path is relative to the shortcut's folder, also when it
    // begins with a separator ("\\note.txt" lies beside the shortcut, not at
    // the root of the file system).
    relative.erase(0, relative.find_first_not_of('/'));
    if (!relative.empty())
        candidates.push_back(folder + relative);
    if (!local.empty()) {
        std::string unixLocal = Slashes(local);
        if (local.front() == '/')
            candidates.push_back(local);
        std::string name = unixLocal.substr(unixLocal.rfind('/') + 1);
        if (!name.empty())
            candidates.push_back(folder + name);
    }
    for (const std::string &c : candidates) {
        if (Exists(c)) {
            target = c;
            return true;
        }
    }
    return false;
}
