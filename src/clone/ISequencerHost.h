#pragma once

#include <string>

namespace calvex {

class clsCmcCln3Sequence;

// What the operation sequencer asks of the program around it: whether a reported sub code is
// one the transceiver class accepts, and the report of a failed operation.
class ISequencerHost {
  public:
    virtual ~ISequencerHost() = default;
    virtual bool RigOpFunc_CheckSubNameLegal(const std::string& subName) = 0;
    // Shows the clone error message for seq; resets the transceiver object (and so seq) first.
    virtual void MsgBoxCloneErr(clsCmcCln3Sequence& seq) = 0;
};

}  // namespace calvex
