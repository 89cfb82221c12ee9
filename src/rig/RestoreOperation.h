#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "memory/BackupFile.h"
#include "rig/IRigBackups.h"

namespace calvex {

// The verified restore of a backup, as one operation of the transceiver task. Asked for, it
// waits for the end of the adjustment cycle; then it reads the radio (kept as a backup before
// anything is written), writes the backup's image with a clone write and reads it back. Only a
// read that agrees at every address is a success. It reports how it ended once, to the backups.
class RestoreOperation {
  public:
    enum class State {
        Asked,       // waiting for the cycle's end
        ReadBefore,  // reading the radio's present memory
        Write,       // writing the backup's image
        Verify,      // reading it back
        Ended,       // reported
    };

    // What the operation does through the transceiver class around it.
    class Host {
      public:
        virtual ~Host() = default;
        // A state that reads the whole image: starts the read on its first step, then true only
        // when that read was vouched for in full (otherwise it has been reported and reset).
        virtual bool ReadWholeImage(bool first) = 0;
        // The whole identification answers: of the radio read at Connect, of the one that
        // answered the read just made.
        virtual const std::string& ConnectedIdentity() const = 0;
        virtual const std::string& AnsweredIdentity() const = 0;
        // The model and sub code of the radio that answered.
        virtual std::string RadioModel() const = 0;
        virtual std::string RadioSub() const = 0;
        // Hands the read just made to the backups; the name of the backup that holds it.
        virtual std::optional<std::string> KeepReadImage(BackupOrigin origin) = 0;
        // Puts image into the program's image and starts the clone write of it.
        virtual void StartCloneWrite(const std::string& image) = 0;
        // The program's image as the verifying read left it, byte adr.
        virtual int16_t ImageByte(int32_t adr) const = 0;
        // A word for the technician, given with the next message.
        virtual void AddNote(const std::string& text) = 0;
    };

    // How a step ended, for the task.
    enum class Step {
        Running,  // the line is busy, or the state waits: step again on the next tick
        Next,     // on to the next state at once (its first step)
        Console,  // ended: the console shows the read just made, as after Connect
        Reset,    // ended: the task goes idle (a reset follows, with its message)
    };

    RestoreOperation(std::string image, std::string model, std::string sub, IRigBackups* backups);

    State state() const { return state_; }
    // From the request until the end has been reported.
    bool active() const { return state_ != State::Ended; }
    // The read (Asked only) may begin: the cycle has ended.
    void Begin();
    // One step of the current state; first on the state's first step.
    Step Run(Host& host, bool first);
    // Once the verifying read agreed: the backup that holds it ("" when none was kept). The
    // radio's memory is now the one this read found.
    const std::optional<std::string>& verifiedBackup() const { return verifiedBackup_; }
    // A reset ends the operation: reported as failed, with a word for the technician once the
    // write has begun (the radio may hold part of the backup). Nothing when it has ended.
    void Abandon(Host& host);

  private:
    Step ReadBefore(Host& host);
    Step Verify(Host& host);
    void Finish(RestoreResult::Outcome outcome, std::vector<int32_t> differing, std::string text);

    State state_ = State::Asked;
    std::string image_;
    std::string model_;
    std::string sub_;
    IRigBackups* backups_;
    bool writeStarted_ = false;
    // The backup of the radio's memory kept just before the write ("" when none).
    std::string backupBefore_;
    std::optional<std::string> verifiedBackup_;
};

}  // namespace calvex
