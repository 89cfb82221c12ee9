#pragma once

#include <optional>
#include <string>

#include "base/AtomicFile.h"
#include "base/FileResult.h"

namespace calvex {

// A file the technician names in a save dialog: a report (PDF, CSV), the diagnostics, a
// comparison, or the program's image saved as a backup. Every one is written by the one writer
// (ReplaceFileAtomically), so a save that fails or is cut off leaves the earlier file whole, and
// none of them writes over a backup file (kBackupExtension, in any letter case): a save that is
// no backup may not take a backup's name, and the program's image may not take the name of a
// backup that is there already.
enum class ChosenKind { Backup, Other };

// Why path may not be written as a file of that kind; nothing when it may. suffix is the one the
// save offers (".csv"), named in the answer.
std::optional<std::string> WhyNotWriteChosenFile(const std::string& path, ChosenKind kind,
                                                 const std::string& suffix);
// That check, then the file written whole; the refusal or the system's reason when it is not.
FileResult<> WriteChosenFile(const std::string& path, const std::string& contents, ChosenKind kind,
                             const std::string& suffix, FileAccess access = FileAccess::Usual);

}  // namespace calvex
