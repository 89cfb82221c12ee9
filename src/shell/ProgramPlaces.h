#pragma once

#include <string>
#include <vector>

#include "shell/FileResult.h"

namespace calvex {

// The program's folder in the user's XDG folders, spelt once.
inline constexpr const char* kProgramFolder = "calvexadj";

// The program's folders in the user's home, from the environment's values (null when unset):
// $XDG_CONFIG_HOME/calvexadj, else $HOME/.config/calvexadj, and $XDG_DATA_HOME/calvexadj, else
// $HOME/.local/share/calvexadj. A relative XDG value counts as unset, as the XDG rules say; empty
// without either. No trailing "/".
std::string UserConfigFolder(const char* xdgConfigHome, const char* home);
std::string UserDataFolder(const char* xdgDataHome, const char* home);
// $XDG_STATE_HOME/calvexadj, else $HOME/.local/state/calvexadj: what the program keeps of its
// runs (the wire traces).
std::string UserStateFolder(const char* xdgStateHome, const char* home);

// The names of the regular files in folder, sorted; none when there is no such folder.
std::vector<std::string> RegularFilesIn(const std::string& folder);
// Creates folder (and its parents) when needed; the system's reason when it cannot.
FileResult<> MakeFolder(const std::string& folder);

}  // namespace calvex
