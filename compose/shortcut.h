// Following a Windows shortcut (".lnk" file, e.g. copied from a Windows
// machine) to the file it points at.
#pragma once

#include <string>

// Reads the shortcut and gives the path of an existing target: its relative
// path (from the shortcut's folder), else its local path when that is a
// path of this system, else a file of the target's name beside the
// shortcut (shortcuts and their targets are often copied together). The
// target's name is used as stored. False, with `target` empty, when the file
// is no shortcut or no target exists.
bool ResolveShortcutFile(const std::string &link, std::string &target);
