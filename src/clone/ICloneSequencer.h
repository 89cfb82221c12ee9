#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "clone/CloneCodes.h"

namespace calvex {

// What the console and the transceiver class ask of the operation sequencer. Every operation
// starts at once and is observed by polling OpRunning; failures are reported by the sequencer.
// One operation at a time: each start returns 0 when it started and 1, changing nothing, while
// another is armed or running.
class ICloneSequencer {
  public:
    virtual ~ICloneSequencer() = default;
    // Forces idle, closes the port and sets the port number for the next operation.
    virtual void easyReset(int16_t portNo) = 0;
    virtual int16_t easyCloneRead() = 0;
    virtual int16_t easyCloneWrite() = 0;
    // spE8: E8 data text, e.g. "054338" (command 05, value C8).
    virtual int16_t easySendE8NoAnswer(const std::string& spE8) = 0;
    virtual int16_t easySendE8ReqAnswer(const std::string& spE8) = 0;
    // Adjustment frames without answer, sent in order as one operation: after one
    // identification where one is due, then each frame. e8FramesSent tells, once the operation
    // has ended, how many of them went out whole (the rest never reached the line).
    virtual int16_t easySendE8Frames(const std::vector<std::string>& frames) = 0;
    virtual std::size_t e8FramesSent() const = 0;
    // Identifies the radio on the line and compares the whole answer with the bound one; another
    // radio ends the operation with SequenceError::OtherUnit, reported as every failure is.
    virtual int16_t easyConfirmIdentity() = 0;
    virtual bool OpRunning() const = 0;
    // Milliseconds of idle time after which an open port is released; 0 never.
    virtual void comHoldReload(int32_t ms) = 0;
    virtual SequenceError error() const = 0;
    // Whether the last clone read completed in full (every block and the closing count).
    virtual bool cloneReadVerified() const = 0;
    // The frame driver's results: the highest image address of the last clone data block, and
    // the last adjustment answer from its identity bytes on.
    virtual int32_t lastEeAdr() const = 0;
    virtual std::string varLastE8Answer() const = 0;
    // The whole identification answer (serial number included) of the radio whose memory the
    // program shows. While one is bound, an operation that finds the port closed identifies
    // the radio first and sends nothing that changes it unless the answer is this same one; a
    // clone write always checks it. Empty: none is bound. The port's release keeps it.
    virtual void bindIdentity(const std::string& answer) = 0;
    virtual const std::string& boundIdentity() const = 0;
    // The answer of the last identification exchange.
    virtual const std::string& identityAnswer() const = 0;
};

}  // namespace calvex
