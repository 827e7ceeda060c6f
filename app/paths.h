// The places the program uses on Linux.
#pragma once

#include <string>

namespace paths {

// The folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// The user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs, else
// $HOME/Documents. Empty when neither can be determined.
std::string DocumentsDir();

// $XDG_CONFIG_HOME, else $HOME/.config. Empty when neither is set.
std::string ConfigHome();

// $XDG_DATA_HOME, else $HOME/.local/share. Empty when neither is set.
std::string DataHome();

// The per-user registry profile of the program: <config>/Zelko/Tegamiya.ini.
std::string RegistryProfilePath();

} // namespace paths
