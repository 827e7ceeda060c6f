#include "app/gdk_backend.h"

#include <cstdlib>

namespace {
bool g_weSetIt = false;
} // namespace

std::optional<std::string> ChooseGdkBackend(const char *userValue)
{
    if (userValue && *userValue)
        return std::nullopt;
    return std::string("x11,*");
}

void PreferX11Backend()
{
    if (std::optional<std::string> value = ChooseGdkBackend(std::getenv("GDK_BACKEND"))) {
        setenv("GDK_BACKEND", value->c_str(), 1);
        g_weSetIt = true;
    }
}

void RestoreUserBackend()
{
    if (g_weSetIt) {
        unsetenv("GDK_BACKEND");
        g_weSetIt = false;
    }
}
