#pragma once

#include <string>
#include <string_view>

namespace calvex {

inline constexpr std::string_view kProgramName = "Calvex ADJ";
// The program's file name, as typed on the command line.
inline constexpr std::string_view kProgramCommand = "calvexadj";
inline constexpr std::string_view kProgramLicence = "GPL-3.0-or-later";
inline constexpr std::string_view kProgramLicenceName =
    "GNU General Public License, version 3 or later";

// The release ("1.0") and the build: the source tree's revision it was built from, or
// "unknown" when the tree was no repository.
std::string_view ProgramVersion();
std::string_view ProgramBuild();

// "Calvex ADJ 1.0 (build 1a2b3c4)".
std::string ProgramVersionLine();

}  // namespace calvex
