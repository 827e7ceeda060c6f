// The pictograph font link: the per-user record that links a font file to
// the form's face for the user-defined characters of CP932, and reloading
// that font into the program's font configuration.
#pragma once

#include <string>

// What the link needs from the platform; the real one is fontconfig and
// Pango, tests put in their own.
class EudcPlatform {
public:
    virtual ~EudcPlatform() = default;
    // Unloads (false) or loads (true) the font the link record names, so
    // that text drawn in the form's face falls back to it for the
    // user-defined characters. False when that fails.
    virtual bool EnableEUDC(bool enable) = 0;
};

// The platform's per-user link record: <config>/EUDC/932.ini, section
// "EUDC". Empty when there is no configuration folder.
std::string EudcRecordPath();

// The value name of the link for the form's face ("ＭＳ ゴシック" in CP932).
std::string EudcFaceKey();

// The pictograph font beside the executable.
std::string EmojiFontPath();

// The path the link record names for the font at `fontPath` (file system
// bytes): that path itself when CP932 can write it; otherwise a symbolic
// link to the font, one per font path, at
// <data home>/Tegamiya/fonts/<hash of the path>/Tegamiya.tte, made or
// renewed here. Empty when neither can be had.
std::string EmojiFontLinkPath(const std::string &fontPath);

// Links `fontPath` as the pictograph font (asking first when another font is
// linked) and reloads it. True when pictographs may be used; false when the
// user declined or the font could not be reloaded.
bool RegisterEmojiFontWith(const std::string &fontPath, EudcPlatform &platform);

// The real platform: fontconfig application fonts, made the first fallback
// of the form's face, and Pango told of the change.
EudcPlatform &SystemEudc();
