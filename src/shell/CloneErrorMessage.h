#pragma once

#include <cstdint>
#include <string>

#include "base/IMessageBox.h"
#include "clone/CloneCodes.h"
#include "shell/IRigReset.h"

namespace calvex {

class CloneLine;
class clsCmcCln3Sequence;

// The one explanation of a failed communication, chosen from the port flags, the driver's last
// error and the sequencer's error, in that order of precedence.
std::string CloneErrorMessage(bool errCannotOpen, bool errOverflow, DriverError drvLastError,
                              SequenceError seqError, int16_t comPortNum);

// Another radio answered the identification than the one whose memory the program shows
// (both whole identification answers); nothing was sent to it.
std::string OtherUnitMessage(const std::string& boundAnswer, const std::string& answer);

// Composes the message for the current state, resets the transceiver object (so that ticks
// running behind the modal box find an idle system) and shows the message, with what the reset
// left undone on the radio as its last paragraph. detail goes with it (the device and the
// system's reason of a port that failed).
void MsgBoxCloneErr(const CloneLine& line, const clsCmcCln3Sequence& seq, IRigReset& rig,
                    IMessageBox& box, const std::string& detail = {});

}  // namespace calvex
