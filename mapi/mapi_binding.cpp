#include "mapi/mapi_binding.h"

#include "app/paths.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

MapiBinding g_mapi;

namespace {
std::string g_lastError;
}

std::string MapiLibraryPath()
{
    if (const char *env = std::getenv("TEGAMIYA_MAPI_LIBRARY"); env && *env)
        return env;
    std::string beside = paths::ExecutableDir() + "libmapi32.so";
    if (access(beside.c_str(), F_OK) == 0)
        return beside;
    return "libmapi32.so";
}

const std::string &MapiLastError() { return g_lastError; }

// The library is opened with RTLD_NODELETE: a mail library that brings its
// own toolkit objects or exit handlers must stay mapped after "unloading",
// or those would run into unmapped code at exit.
int LoadMapi()
{
    ReleaseMapi();
    std::string path = MapiLibraryPath();
    void *lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!lib) {
        const char *e = dlerror();
        g_lastError = e ? e : path;
        return MAPI_LOAD_FAILED;
    }
    MapiBinding b;
    b.library = lib;
    bool ok = true;
    // Looked up in the published order; the first missing one ends the binding.
    auto bind = [&](auto &slot, const char *name) {
        if (!ok)
            return;
        void *sym = dlsym(lib, name);
        if (!sym) {
            const char *e = dlerror();
            g_lastError = e ? e : name;
            ok = false;
            return;
        }
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(sym);
    };
    bind(b.MAPILogon, "MAPILogon");
    bind(b.MAPILogoff, "MAPILogoff");
    bind(b.MAPISendMail, "MAPISendMail");
    bind(b.MAPISendDocuments, "MAPISendDocuments");
    bind(b.MAPIFindNext, "MAPIFindNext");
    bind(b.MAPIReadMail, "MAPIReadMail");
    bind(b.MAPISaveMail, "MAPISaveMail");
    bind(b.MAPIDeleteMail, "MAPIDeleteMail");
    bind(b.MAPIFreeBuffer, "MAPIFreeBuffer");
    bind(b.MAPIAddress, "MAPIAddress");
    bind(b.MAPIDetails, "MAPIDetails");
    bind(b.MAPIResolveName, "MAPIResolveName");
    if (!ok) {
        dlclose(lib);
        return MAPI_ENTRY_MISSING;
    }
    g_mapi = b;
    return MAPI_BOUND;
}

void ReleaseMapi()
{
    void *lib = g_mapi.library;
    g_mapi = MapiBinding{};
    if (lib)
        dlclose(lib);
}
