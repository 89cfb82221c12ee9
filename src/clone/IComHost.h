#pragma once

namespace calvex {

// What the heartbeat (CloneLine::timSolid_Timer) reaches beyond the line: the application's task
// and the report of a communication fault. The core implements it; it knows the sequencer.
class IComHost {
  public:
    virtual ~IComHost() = default;
    // One pass of the application task (sequencer, transceiver task).
    virtual void task() = 0;
    // Explains the current communication fault to the user (and resets the transceiver).
    virtual void MsgBoxCloneErr() = 0;
};

}  // namespace calvex
