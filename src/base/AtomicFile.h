#pragma once

#include <functional>
#include <string>

#include "base/FileResult.h"

namespace calvex {

// Who may read a file the program writes. Usual: the old file's permissions are kept, a new file
// gets the usual ones. Private: the user alone (0600), whatever the old file allowed; for what
// holds a customer's channel plan and serial numbers (backups, diagnostics).
enum class FileAccess { Usual, Private };

// Replaces the file at path with contents in one step: a temporary file in the same folder is
// written, flushed to the disk and renamed over it, so a crash or a full disk never leaves a
// half-written file. Every file the program writes goes through here. beforeRename lets tests
// interrupt the save once the temporary file is complete: returning false abandons it. On
// failure the temporary file is removed and the old file is as it was.
FileResult<> ReplaceFileAtomically(const std::string& path, const std::string& contents,
                                   FileAccess access = FileAccess::Usual,
                                   const std::function<bool()>& beforeRename = {});

}  // namespace calvex
