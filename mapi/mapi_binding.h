// The program's run-time binding to the mail library: the library handle,
// the twelve Simple MAPI entry points and the one mail session.
#pragma once

#include "simple_mapi.h"

#include <string>

// Results of LoadMapi.
enum : int {
    MAPI_BOUND = 1,           // library loaded, every entry point found
    MAPI_LOAD_FAILED = 2,     // the library cannot be loaded
    MAPI_ENTRY_MISSING = 4,   // an entry point is missing
};

struct MapiBinding {
    void *library = nullptr;
    LPMAPILOGON MAPILogon = nullptr;
    LPMAPILOGOFF MAPILogoff = nullptr;
    LPMAPISENDMAIL MAPISendMail = nullptr;
    LPMAPISENDDOCUMENTS MAPISendDocuments = nullptr;
    LPMAPIFINDNEXT MAPIFindNext = nullptr;
    LPMAPIREADMAIL MAPIReadMail = nullptr;
    LPMAPISAVEMAIL MAPISaveMail = nullptr;
    LPMAPIDELETEMAIL MAPIDeleteMail = nullptr;
    LPMAPIFREEBUFFER MAPIFreeBuffer = nullptr;
    LPMAPIADDRESS MAPIAddress = nullptr;
    LPMAPIDETAILS MAPIDetails = nullptr;
    LPMAPIRESOLVENAME MAPIResolveName = nullptr;
    LHANDLE session = 0; // zero until logon
};

// The process-wide binding.
extern MapiBinding g_mapi;

// Which library file LoadMapi opens: $TEGAMIYA_MAPI_LIBRARY when set, else
// libmapi32.so beside the executable when it is there, else "libmapi32.so"
// from the normal library path.
std::string MapiLibraryPath();

// Loads the mail library and binds the twelve entry points in their
// published order. Returns MAPI_BOUND, MAPI_LOAD_FAILED or
// MAPI_ENTRY_MISSING; on failure nothing stays loaded.
int LoadMapi();

// Clears every entry point and the session, and unloads the library.
void ReleaseMapi();

// What dlerror() said about the last failed load or lookup (for diagnostics).
const std::string &MapiLastError();
