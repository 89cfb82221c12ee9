#include "shell/CloneErrorMessage.h"

#include <initializer_list>

#include "clone/clsCmcCln3Sequence.h"
#include "link/frmCom.h"
#include "memory/BackupFile.h"
#include "shell/Common.h"

namespace calvex {

namespace {

constexpr const char* kCrLf = "\r\n";
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

}  // namespace

std::string CloneErrorMessage(bool errCannotOpen, bool errOverflow, int16_t drvLastError,
                              int16_t seqError, int16_t comPortNum) {
    if (errCannotOpen) {
        return WithList("Cannot access COM " + std::to_string(comPortNum) + ".",
                        {kCom, kCbl, kPwr});
    }
    if (errOverflow) return WithList("COM buffer overflow.", {kCom, kCbl, kPwr});
    switch (drvLastError) {
        case 0:
            break;
        case 1:
            return WithList("Cannot access COM port", {kCom, kCbl, kPwr});
        case 2:
            return WithList("No answer from transceiver.", {kCom, kCbl, kPwr});
        case 3:
            return WithList("Illegal data.", {kCom, kCbl, kPwr});
        case 4:
            return WithList("Data counter error.", {kCom, kCbl, kPwr});
        case 5:
            return WithList("Data overflow.", {kCom, kCbl, kPwr});
        case 6:
        case 7:
            return WithList("Cannot write cloning data.", {kCbl, kPwr});
        default:
            return WithList("Cannot Clone.", {kCom, kCbl, kPwr}, true);
    }
    switch (seqError) {
        case 0:
            return WithList("Communication failed.", {kCbl, kPwr});
        case 2:
            return std::string("Version number does not match") + kCrLf + "for this transceiver.";
        case 3:
            return WithList("Connected transceiver is not compatible model.", {kSw, kRev});
        default:
            return WithList("Cannot Clone.", {kCom, kCbl, kPwr});
    }
}

std::string OtherUnitMessage(const std::string& boundAnswer, const std::string& answer) {
    return std::string("Another transceiver is on the cable.") + kCrLf + kCrLf +
           "The transceiver read at Connect has serial number " +
           BackupIdentity::FromAnswer(boundAnswer).serial +
           "; the one answering now has serial number " +
           BackupIdentity::FromAnswer(answer).serial + ". Nothing was sent to it." + kCrLf + kCrLf +
           "Press Connect to read the transceiver on the cable.";
}

void MsgBoxCloneErr(const frmCom& com, const clsCmcCln3Sequence& seq, IRigReset& rig,
                    IMessageBox& box) {
    const bool portFault = com.errCannotOpen() || com.lineLost();
    std::string text = CloneErrorMessage(portFault, com.errOverflow(), com.cln3D().lastError(),
                                         seq.error(), com.comPortNum());
    if (!portFault && !com.errOverflow() && com.cln3D().lastError() == 0 &&
        seq.error() == clsCmcCln3Sequence::kErrOtherUnit) {
        text = OtherUnitMessage(seq.boundIdentity(), seq.ansInfo());
    }
    rig.RigOpFunc_ResetAll();
    const std::string note = rig.RigOpFunc_TakeResetNote();
    if (!note.empty()) text += std::string(kCrLf) + kCrLf + note;
    if (!text.empty()) MsgBoxCritical(box, text);
}

}  // namespace calvex
