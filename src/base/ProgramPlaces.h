#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/FileResult.h"

namespace calvex {

// The program's folder in the user's XDG folders, spelt once.
inline constexpr const char* kProgramFolder = "calvexadj";

// A variable of the process's environment; null when unset. The one reader of the environment:
// every place and setting the program takes from it is asked for here.
const char* EnvironmentValue(const char* name);

// The program's folders in the user's home, from the environment's values (null when unset):
// $XDG_CONFIG_HOME/calvexadj, else $HOME/.config/calvexadj, and $XDG_DATA_HOME/calvexadj, else
// $HOME/.local/share/calvexadj. A relative XDG value counts as unset, as the XDG rules say; empty
// without either. No trailing "/".
std::string UserConfigFolder(const char* xdgConfigHome, const char* home);
std::string UserDataFolder(const char* xdgDataHome, const char* home);
// $XDG_STATE_HOME/calvexadj, else $HOME/.local/state/calvexadj: what the program keeps of its
// runs (the wire traces).
std::string UserStateFolder(const char* xdgStateHome, const char* home);

// A regular file of a folder: its name and when it was last written (a count that orders files
// by their modification time, finer than a second where the system keeps it).
struct FolderFile {
    std::string name;
    int64_t modified = 0;
};

// The regular files in folder, sorted by name; none when there is no such folder (nor an empty
// name). A folder that exists but cannot be listed whole is the system's reason, never a part of
// its files.
FileResult<std::vector<FolderFile>> RegularFilesIn(const std::string& folder);
// The names alone, in the same order.
FileResult<std::vector<std::string>> RegularFileNamesIn(const std::string& folder);
// Creates folder (and its parents) when needed, each folder it makes private to the user (0700):
// what the program keeps there holds a customer's channel plan and serial numbers. A folder that
// exists is left as it is. The system's reason when it cannot.
FileResult<> MakeFolder(const std::string& folder);

}  // namespace calvex
