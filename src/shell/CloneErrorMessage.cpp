#include "shell/CloneErrorMessage.h"

#include <initializer_list>

#include "base/Common.h"
#include "clone/CloneLine.h"
#include "clone/clsCmcCln3Sequence.h"
#include "memory/BackupFile.h"

namespace calvex {

namespace {

constexpr const char* kChk = "Check the following:";
constexpr const char* kCom = "- The COM port settings.";
constexpr const char* kCbl = "- Cloning cable connections.";
constexpr const char* kPwr = "- Transceiver power is ON.";
constexpr const char* kSw = "- Appropriate cloning software for the transceiver is being used.";
constexpr const char* kRev = "- The revision number of the transceiver.";

std::string WithList(const std::string& statement, std::initializer_list<const char*> lines,
                     bool gapAfterCheck = false) {
    std::string text = statement + kCrLf + kCrLf + kChk;
    if (gapAfterCheck) text += kCrLf;
    for (const char* line : lines) {
        text += kCrLf;
        text += line;
    }
    return text;
}

// The message of each driver code. Every enumerator has its case and there is no default, so
// a code added without its message does not compile (-Werror=switch). Empty: no driver error.
std::string DriverErrorMessage(DriverError code) {
    switch (code) {
        case DriverError::None:
            return {};
        case DriverError::NoEcho:
            return WithList("Cannot access COM port", {kCom, kCbl, kPwr});
        case DriverError::NoAnswer:
            return WithList("No answer from transceiver.", {kCom, kCbl, kPwr});
        case DriverError::IllegalData:
            return WithList("Illegal data.", {kCom, kCbl, kPwr});
        case DriverError::DataCounter:
            return WithList("Data counter error.", {kCom, kCbl, kPwr});
        case DriverError::DataOverflow:
            return WithList("Data overflow.", {kCom, kCbl, kPwr});
        case DriverError::WriteFailed:
        case DriverError::WriteResult:
            return WithList("Cannot write cloning data.", {kCbl, kPwr});
        case DriverError::WriteRefused:
            break;
    }
    // The refused write and any value no enumerator names.
    return WithList("Cannot Clone.", {kCom, kCbl, kPwr}, true);
}

// The message of each sequencer code, as above. Another unit on the cable gets its own message
// from MsgBoxCloneErr, which knows both identities.
std::string SequenceErrorMessage(SequenceError code) {
    switch (code) {
        case SequenceError::None:
            return WithList("Communication failed.", {kCbl, kPwr});
        case SequenceError::SubCode:
            return std::string("Version number does not match") + kCrLf + "for this transceiver.";
        case SequenceError::Byte43:
            return WithList("Connected transceiver is not compatible model.", {kSw, kRev});
        case SequenceError::Model:
        case SequenceError::Driver:
        case SequenceError::OtherUnit:
            break;
    }
    return WithList("Cannot Clone.", {kCom, kCbl, kPwr});
}

}  // namespace

std::string CloneErrorMessage(bool errCannotOpen, bool errOverflow, DriverError drvLastError,
                              SequenceError seqError, int16_t comPortNum) {
    if (errCannotOpen) {
        return WithList("Cannot access COM " + std::to_string(comPortNum) + ".",
                        {kCom, kCbl, kPwr});
    }
    if (errOverflow) return WithList("COM buffer overflow.", {kCom, kCbl, kPwr});
    if (drvLastError != DriverError::None) return DriverErrorMessage(drvLastError);
    return SequenceErrorMessage(seqError);
}

std::string OtherUnitMessage(const std::string& boundAnswer, const std::string& answer) {
    return std::string("Another transceiver is on the cable.") + kCrLf + kCrLf +
           "The transceiver read at Connect has serial number " +
           BackupIdentity::FromAnswer(boundAnswer).serial +
           "; the one answering now has serial number " +
           BackupIdentity::FromAnswer(answer).serial + ". Nothing was sent to it." + kCrLf + kCrLf +
           "Press Connect to read the transceiver on the cable.";
}

void MsgBoxCloneErr(const CloneLine& line, const clsCmcCln3Sequence& seq, IRigReset& rig,
                    IMessageBox& box, const std::string& detail) {
    const frmCom& com = line.com();
    const bool portFault = com.errCannotOpen() || com.lineLost();
    std::string text = CloneErrorMessage(portFault, com.errOverflow(), line.cln3D().lastError(),
                                         seq.error(), com.comPortNum());
    if (!portFault && !com.errOverflow() && line.cln3D().lastError() == DriverError::None &&
        seq.error() == SequenceError::OtherUnit) {
        text = OtherUnitMessage(seq.boundIdentity(), seq.ansInfo());
    }
    rig.RigOpFunc_ResetAll();
    const std::string note = rig.RigOpFunc_TakeResetNote();
    if (!note.empty()) text += std::string(kCrLf) + kCrLf + note;
    if (!text.empty()) MsgBoxCritical(box, text, detail);
}

}  // namespace calvex
