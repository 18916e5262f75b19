// The working folder of a start from the desktop. Started from a terminal the
// program works in the current directory; started from its desktop entry (or
// by opening a data file in a file manager) the current directory is
// wherever the desktop put it, so the program uses a folder of its own under
// the user's data folder instead.
#pragma once

#include <string>

namespace qv {

// $XDG_DATA_HOME/quorvex, or <home>/.local/share/quorvex when XDG_DATA_HOME
// is unset, empty or not an absolute path. `xdgDataHome` and `home` are the
// environment's values (null: unset); without a usable HOME the password
// database's home folder is used. Empty when no home folder is known.
std::string DesktopWorkFolder(const char* xdgDataHome, const char* home);

// Creates `path` and its missing parents (new folders get mode 0700). True
// when `path` is a folder afterwards; false, with errno set, when a part of it
// could not be made (or is not a folder).
bool MakeFolders(const std::string& path);

}  // namespace qv
