#include "app/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

namespace paths {
namespace {

std::string Env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

std::string ExecutableDir()
{
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return "./";
    std::string exe(buf.data(), static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

std::string ConfigHome()
{
    std::string dir = Env("XDG_CONFIG_HOME");
    if (!dir.empty() && dir[0] == '/')
        return dir;
    std::string home = Env("HOME");
    return home.empty() ? std::string() : home + "/.config";
}

std::string DataHome()
{
    std::string dir = Env("XDG_DATA_HOME");
    if (!dir.empty() && dir[0] == '/')
        return dir;
    std::string home = Env("HOME");
    return home.empty() ? std::string() : home + "/.local/share";
}

std::string DocumentsDir()
{
    std::string home = Env("HOME");
    std::string config = ConfigHome();
    // user-dirs.dirs holds lines like XDG_DOCUMENTS_DIR="$HOME/Documents".
    if (!config.empty()) {
        std::ifstream in(config + "/user-dirs.dirs");
        std::string line;
        while (std::getline(in, line)) {
            constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
            if (line.compare(0, key.size(), key) != 0)
                continue;
            std::string v = line.substr(key.size());
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                v = v.substr(1, v.size() - 2);
            if (v.compare(0, 5, "$HOME") == 0) {
                if (home.empty())
                    break;
                v = home + v.substr(5);
            }
            if (!v.empty() && v[0] == '/') {
                while (v.size() > 1 && v.back() == '/')
                    v.pop_back();
                return v;
            }
        }
    }
    return home.empty() ? std::string() : home + "/Documents";
}

std::string RegistryProfilePath()
{
    std::string config = ConfigHome();
    return config.empty() ? std::string() : config + "/Zelko/Tegamiya.ini";
}

} // namespace paths
