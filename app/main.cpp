// The program's entry point.
#include "app/gdk_backend.h"
#include "app/tegamiya_app.h"

#include <cstdlib>

wxIMPLEMENT_APP_NO_MAIN(CTegamiyaApp);

int main(int argc, char **argv)
{
    // Before the toolkit starts: stored window positions need a backend
    // that lets the program place its windows.
    PreferX11Backend();
    // The mail library's dialogs and the outbox window speak the program's
    // language (Japanese), not the locale's, unless the user names another.
    setenv("TEGAMIYA_MAIL_LANGUAGE", "ja", 0);
    return wxEntry(argc, argv);
}
