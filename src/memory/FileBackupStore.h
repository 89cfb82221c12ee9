#pragma once

#include <string>

#include "memory/IBackupStore.h"

namespace calvex {

// The backups folder on the disk.
class FileBackupStore final : public IBackupStore {
  public:
    explicit FileBackupStore(std::string folder) : folder_(std::move(folder)) {}

    std::string folder() const override { return folder_; }
    FileResult<std::vector<std::string>> list() const override;
    FileResult<std::string> read(const std::string& name, std::size_t maxBytes) const override;
    FileResult<> write(const std::string& name, const std::string& contents) override;
    bool remove(const std::string& name) override;

  private:
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

// The system clock in UTC seconds: what names and dates the backups outside the tests.
class SystemUtcClock final : public IUtcClock {
  public:
    int64_t utcSeconds() const override;
};

// Where the backups are kept: $XDG_DATA_HOME/calvexadj/backups, else
// $HOME/.local/share/calvexadj/backups (a relative XDG_DATA_HOME counts as unset). Empty when
// there is neither.
std::string DefaultBackupFolder(const char* xdgDataHome, const char* home);

}  // namespace calvex
