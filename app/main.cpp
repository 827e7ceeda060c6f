// The program's entry point.
#include "app/tegamiya_app.h"

wxIMPLEMENT_APP(CTegamiyaApp);
