#pragma once

#include <string>

namespace calvex {

// The transceiver object's full reset: ends any procedure and resets the sequencer (which
// closes the port and clears the port's error flags).
class IRigReset {
  public:
    virtual ~IRigReset() = default;
    virtual void RigOpFunc_ResetAll() = 0;
    // What the last reset left undone on the radio (a restore or a procedure cut short), for
    // the message that reports its cause; empty when nothing. Given out once.
    virtual std::string RigOpFunc_TakeResetNote() { return {}; }
};

}  // namespace calvex
