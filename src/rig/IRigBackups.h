#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "memory/BackupFile.h"
#include "memory/clsCmcEeprom.h"

namespace calvex {

// How a restore of a backup ended.
struct RestoreResult {
    enum class Outcome {
        // The radio holds the backup byte for byte: the verifying read found every byte.
        Restored,
        // Nothing was written: the radio is not the one the backup was made of, or its present
        // memory could not be kept first. The console goes on with what was just read.
        NotStarted,
        // The verifying read differs from the backup at `differing`; the task is idle.
        Mismatch,
        // A clone error (already reported as every clone error is) or a reset ended it; the
        // task is idle and the radio holds what a new Connect will read.
        Failed,
    };
    Outcome outcome = Outcome::Failed;
    std::vector<int32_t> differing;
    // What to tell the technician.
    std::string text;
};

// What the transceiver task asks of the backups around it.
class IRigBackups {
  public:
    virtual ~IRigBackups() = default;
    // A clone read has just completed in full (every block and the closing count) and nothing
    // has been sent since: image is the radio's memory, read on the occasion origin. The name
    // of the backup file that holds it (new, or the radio's newest when identical); nothing
    // when no backup of it is kept.
    virtual std::optional<std::string> verifiedRead(const clsCmcEeprom& image,
                                                    BackupOrigin origin) = 0;
    // A restore has ended; called once per restore, possibly from inside a reset.
    virtual void restoreFinished(const RestoreResult& result) = 0;
};

}  // namespace calvex
