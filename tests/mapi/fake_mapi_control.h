// Reaching the fake mail library's state from a test.
#pragma once

#include "fake_mapi.h"

#include <dlfcn.h>

#include <cstdlib>

namespace testenv {

// Points the program at the fake library and returns its state, reset.
// The library is opened (and kept) here, so the program's own load of the
// same file shares this state.
inline FakeMapiState &UseFakeMapi(const char *path = FAKE_MAPI_PATH)
{
    setenv("TEGAMIYA_MAPI_LIBRARY", path, 1);
    void *lib = dlopen(path, RTLD_NOW | RTLD_NODELETE);
    auto get = reinterpret_cast<FakeMapiState *(*)()>(dlsym(lib, "FakeMapi_State"));
    FakeMapiState &s = *get();
    s.Reset();
    return s;
}

} // namespace testenv
