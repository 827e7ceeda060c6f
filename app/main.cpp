// The program's entry point.
#include "app/gdk_backend.h"
#include "app/tegamiya_app.h"

wxIMPLEMENT_APP_NO_MAIN(CTegamiyaApp);

int main(int argc, char **argv)
{
    // Before the toolkit starts: stored window positions need a backend
    // that lets the program place its windows.
    PreferX11Backend();
    return wxEntry(argc, argv);
}
