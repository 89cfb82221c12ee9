#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "memory/BackupFile.h"
#include "memory/IBackupStore.h"

namespace calvex {

// Keeps a backup of the transceiver's memory after every clone read that completed, one
// history per radio, in a folder of the store. A read identical to the newest backup of the
// same radio adds nothing; backups older than a year are removed, never the oldest or the newest
// of a radio, and none while the clock is behind the newest backup of the folder.
class BackupKeeper {
  public:
    static constexpr int64_t kKeepSeconds = int64_t{365} * 86400;
    // No backup file comes near this size; anything larger is not read whole.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;

    // The folder of DefaultBackupFolder (from the environment) and the system clock.
    BackupKeeper();
    BackupKeeper(const BackupKeeper&) = delete;
    BackupKeeper& operator=(const BackupKeeper&) = delete;
    ~BackupKeeper();

    // Another store or clock (tests, or another folder); the keeper only refers to them.
    void UseStore(IBackupStore& store) { store_ = &store; }
    void UseClock(IUtcClock& clock) { clock_ = &clock; }
    IBackupStore& store() const { return *store_; }
    IUtcClock& clock() const { return *clock_; }
    // The model code every usable backup must carry (this program's transceiver).
    void model(const std::string& code) { model_ = code; }
    const std::string& model() const { return model_; }

    enum class Saved { New, Unchanged, Failed };
    struct SaveResult {
        Saved outcome = Saved::Failed;
        std::string name;    // the file written, or the newest backup when unchanged
        std::string reason;  // why it failed
    };
    // answer: the identification answer of the read; image: the kBackupImageSize bytes read;
    // origin: which read it was.
    SaveResult SaveAfterRead(const std::string& answer, const std::string& image,
                             BackupOrigin origin = BackupOrigin::Connect);
    // How the last save went (a window may show it); Failed with no name before the first.
    const SaveResult& lastSave() const { return lastSave_; }

    // A failed save, for the technician: one for every save that failed, oldest first.
    struct Report {
        std::string text;
        std::string detail;
    };
    std::optional<Report> TakeReport();

    struct Entry {
        std::string name;
        BackupLoad load;
    };
    // Every backup file of the folder (named *.vbk), each checked as Load checks it: radios in
    // the order of their history keys, each radio's newest first. A folder that cannot be listed
    // is the system's reason, never a part of its files.
    FileResult<std::vector<Entry>> List() const;
    // A file of the folder by its name, or any backup file on the disk by its path (a name with
    // a '/'): both read to the same bound and given out only after the same checks.
    BackupLoad Load(const std::string& name) const;
    static bool IsPath(const std::string& name) { return name.find('/') != std::string::npos; }

  private:
    void Prune(const std::vector<std::string>& names, int64_t now);
    // The history key of the radio a backup file name belongs to: from the name, or for an
    // older name that does not tell (see BackupFileNameParts::exactKey) from a usable file's
    // contents; nothing when it cannot be told.
    std::optional<std::string> HistoryKey(const std::string& name,
                                          const BackupFileNameParts& parts) const;

    std::unique_ptr<IBackupStore> ownStore_;
    std::unique_ptr<IUtcClock> ownClock_;
    IBackupStore* store_ = nullptr;
    IUtcClock* clock_ = nullptr;
    std::string model_{VelkaMemory::kModelCode};
    std::deque<Report> reports_;
    SaveResult lastSave_;
};

}  // namespace calvex
