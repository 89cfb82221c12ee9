#pragma once

namespace calvex {

// The transceiver object's full reset: ends any procedure and resets the sequencer (which
// closes the port and clears the port's error flags).
class IRigReset {
  public:
    virtual ~IRigReset() = default;
    virtual void RigOpFunc_ResetAll() = 0;
};

}  // namespace calvex
