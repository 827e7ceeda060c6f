// Loading the embedded resources into wx objects.
#pragma once

#include <wx/bitmap.h>

#include <string>

// Loads the embedded XRC file of that name once (later calls do nothing).
// Returns false when it is missing or malformed.
bool LoadXrcResource(const std::string &name);

// An embedded PNG as a bitmap (invalid when missing).
wxBitmap LoadPngResource(const std::string &name);

// The program's icon (icon 128) in its sizes.
class wxIconBundle;
wxIconBundle ProgramIcons();
