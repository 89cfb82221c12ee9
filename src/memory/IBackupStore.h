#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/FileResult.h"

namespace calvex {

// The folder the backups are kept in. Names are plain file names inside it.
class IBackupStore {
  public:
    virtual ~IBackupStore() = default;
    // Where the backups are kept, as the technician is told.
    virtual std::string folder() const = 0;
    // The names of the regular files in the folder; none when there is no folder yet; the
    // system's reason when the folder cannot be listed.
    virtual FileResult<std::vector<std::string>> list() const = 0;
    // The file's contents, at most maxBytes + 1 bytes of it (so that a longer file shows as
    // longer).
    virtual FileResult<std::string> read(const std::string& name, std::size_t maxBytes) const = 0;
    // Creates the folder when needed (private to the user) and writes the file in one step
    // (never half-written), private to the user.
    virtual FileResult<> write(const std::string& name, const std::string& contents) = 0;
    virtual bool remove(const std::string& name) = 0;
};

// The wall clock, in seconds since 1970-01-01 UTC.
class IUtcClock {
  public:
    virtual ~IUtcClock() = default;
    virtual int64_t utcSeconds() const = 0;
};

}  // namespace calvex
