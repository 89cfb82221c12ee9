#include "clone/clsCmcCln3Sequence.h"

#include <cmath>
#include <stdexcept>

#include "base/Common.h"

namespace calvex {

namespace {

constexpr int16_t kStepIdentify = 1;
constexpr int16_t kStepCloneRead = 2;
constexpr int16_t kStepCloneWrite = 3;
constexpr int16_t kStepE8 = 4;
constexpr int16_t kStepFailed = 5;
constexpr int16_t kStepFinish = 6;

// Bytes pos..pos+len-1 (1-based) of s, as far as s reaches.
std::string Mid(const std::string& s, std::size_t pos, std::size_t len) {
    if (pos < 1 || pos > s.size()) return {};
    return s.substr(pos - 1, len);
}

}  // namespace

clsCmcCln3Sequence::clsCmcCln3Sequence(CloneLine& line, clsCmcRadio& radio, ISequencerHost& host,
                                       ITickSource& ticks)
    : line_(line),
      radio_(radio),
      host_(host),
      holdTick_(ticks),
      drainTick_(ticks),
      quietTick_(ticks) {
    Reset();
    comPortNo_ = 1;
    comHoldReload(0);
}

std::string E8DataText(int16_t command, int16_t value) {
    return IntToHex2(command) + IntToAsciiHexStr(value);
}

void clsCmcCln3Sequence::Reset() {
    // A read cut off after its rate switch starts the next read with the switch again.
    flgHighSpeed_ = false;
    cloneReadVerified_ = false;
    confirmingIdentity_ = false;
    confirmedEpoch_.reset();
    line_.cln3D().Reset();
    line_.com().Reset();
    // Everything is idle now: a lost device may be used again by the next operation.
    line_.com().clearLineLost();
    Standby();
}

void clsCmcCln3Sequence::Standby() {
    // A frame of an operation that has ended uncounted stays uncounted.
    frameUncounted_ = false;
    operation_ = kOpNone;
    confirmingIdentity_ = false;
    compareBound_ = false;
    stepNo_ = 0;
    e8Frames_.clear();
}

void clsCmcCln3Sequence::easyReset(int16_t portNo) {
    Reset();
    comPortNo_ = portNo;
}

int16_t clsCmcCln3Sequence::easyCloneRead() {
    if (Busy()) return 1;
    cloneReadVerified_ = false;
    SetOperation(kOpCloneRead);
    Begin();
    return 0;
}

int16_t clsCmcCln3Sequence::easyCloneWrite() {
    if (Busy()) return 1;
    SetOperation(kOpCloneWrite);
    Begin();
    return 0;
}

int16_t clsCmcCln3Sequence::easySendE8NoAnswer(const std::string& spE8) {
    return easySendE8Frames({spE8});
}

int16_t clsCmcCln3Sequence::easySendE8ReqAnswer(const std::string& spE8) {
    if (Busy()) return 1;
    SetOperation(kOpE8);
    e8Frames_ = {spE8};
    e8AnsRequired_ = true;
    Begin();
    return 0;
}

int16_t clsCmcCln3Sequence::easySendE8Frames(const std::vector<std::string>& frames) {
    if (Busy() || frames.empty()) return 1;
    SetOperation(kOpE8);
    e8Frames_ = frames;
    Begin();
    return 0;
}

int16_t clsCmcCln3Sequence::easyConfirmIdentity() {
    if (Busy()) return 1;
    SetOperation(kOpIdentify);
    compareBound_ = true;
    Begin();
    return 0;
}

bool clsCmcCln3Sequence::identityConfirmed() const {
    return confirmedEpoch_ && *confirmedEpoch_ == line_.com().lineEpoch();
}

void clsCmcCln3Sequence::bindIdentity(const std::string& answer) {
    boundAnswer_ = answer;
    // Bound right after the read that answered so, on the line that read has left open.
    if (answer.empty()) {
        confirmedEpoch_.reset();
    } else {
        confirmedEpoch_ = line_.com().lineEpoch();
    }
}

void clsCmcCln3Sequence::CompareWithBound() {
    if (boundAnswer_.empty()) return;
    if (ansInfo() == boundAnswer_) {
        confirmedEpoch_ = line_.com().lineEpoch();
    } else {
        confirmedEpoch_.reset();
        myError_ = SequenceError::OtherUnit;
    }
}

void clsCmcCln3Sequence::comHoldReload(int32_t ms) {
    comHoldReload_ = ms;
    holdTick_.counter(ms);
}

void clsCmcCln3Sequence::Operation(int16_t op) {
    // An operation armed or on the line is not replaced under its feet.
    if (!Busy()) SetOperation(op);
}

void clsCmcCln3Sequence::SetOperation(int16_t op) {
    operation_ = op;
    e8AnsRequired_ = false;
    compareBound_ = false;
}

int16_t clsCmcCln3Sequence::start() {
    // Operation() has armed what the caller wants; an operation already on the line keeps it.
    if (stepNo_ != 0) return 1;
    Begin();
    return 0;
}

void clsCmcCln3Sequence::Begin() {
    if (operation_ == kOpE8) {
        e8Sent_ = 0;
        frameUncounted_ = false;
    }
    stepNo_ = 0;
    task();
}

const std::string& clsCmcCln3Sequence::ansInfo() const {
    return line_.cln3D().ansInfo();
}

std::string clsCmcCln3Sequence::ansNameM() const {
    return ByteStrToHexStr(Mid(ansInfo(), 4, 2));
}

std::string clsCmcCln3Sequence::ansNameS() const {
    return ByteStrToHexStr(Mid(ansInfo(), 6, 2));
}

void clsCmcCln3Sequence::PrepareStep() {
    line_.cln3D().lastError(DriverError::None);
    myError_ = SequenceError::None;
    line_.com().comPortNum(comPortNo_);
}

int16_t clsCmcCln3Sequence::FeCount() const {
    // As many FE as fit in 10 ms at the current rate, plus one, rounded half up.
    const double n =
        std::floor(static_cast<double>(line_.com().comBaud()) * 10.0 / 10000.0 + 1.0 + 0.5);
    if (n > INT16_MAX || n < INT16_MIN) throw std::overflow_error("FE preamble count");
    return static_cast<int16_t>(n);
}

bool clsCmcCln3Sequence::MustConfirmIdentity() const {
    // The rate switch of a clone read goes out on the port that read has just opened.
    return !boundAnswer_.empty() && !identityConfirmed() && !flgHighSpeed_;
}

void clsCmcCln3Sequence::StartStep() {
    clsCmcCln3Drv& drv = line_.cln3D();
    std::string text;
    switch (stepCode_) {
        case kStepIdentify:
            PrepareStep();
            line_.com().comOpen(true);
            drv.workMode(1);
            text = IntToHex2(clonecmd::kIdentify) + radio_.radioNameM() + "0000";
            break;
        case kStepCloneRead:
            PrepareStep();
            line_.com().comOpen(true);
            drv.workMode(2);
            drv.myEep(radio_.eepImage);
            text = IntToHex2(clonecmd::kRead) + radio_.radioNameM() + radio_.radionameS();
            break;
        case kStepCloneWrite:
            PrepareStep();
            line_.com().comOpen(true);
            drv.workMode(3);
            drv.myEep(radio_.eepImage);
            drv.sizDataOfPacket(16);
            drv.cloneWriteAdrList(radio_.cloneWriteAdrList());
            text = IntToHex2(clonecmd::kWrite) + radio_.radioNameM() + radio_.radionameS();
            break;
        case kStepE8:
            PrepareStep();
            line_.com().comOpen(true);
            drv.workMode(5);
            drv.waitAnswer(e8AnsRequired_);
            drv.retryCount(2);
            text = IntToHex2(clonecmd::kAdjust) + radio_.radioNameM() + radio_.radionameS() +
                   (e8Sent_ < e8Frames_.size() ? e8Frames_[e8Sent_] : std::string());
            break;
        case kStepFinish:
            stepNo_ = 0;
            Standby();
            return;
        default:
            return;
    }
    drv.Send(HexStrToByteStr(text));
    if (stepCode_ == kStepE8) {
        frameUncounted_ = true;
        drainTick_.counter(clsCmcCln3Drv::kAnswerTimeout);
        CountFrameOut();
    }
}

bool clsCmcCln3Sequence::LineFaulted() const {
    return line_.com().lineLost() || line_.com().errCannotOpen() || line_.com().errOverflow();
}

void clsCmcCln3Sequence::CountFrameOut() {
    if (!frameUncounted_ || LineFaulted() || line_.cln3D().lastError() != DriverError::None ||
        line_.com().comOutPending() > 0) {
        return;
    }
    frameUncounted_ = false;
    ++e8Sent_;
}

void clsCmcCln3Sequence::IdentityCheck() {
    if (ansNameM() != radio_.radioNameM()) myError_ = SequenceError::Model;
    if (ByteStrToHexStr(Mid(ansInfo(), 43, 1)) != "05") myError_ = SequenceError::Byte43;
    const std::string sub = ansNameS();
    if (host_.RigOpFunc_CheckSubNameLegal(sub)) {
        radio_.radionameS(sub);
    } else {
        myError_ = SequenceError::SubCode;
    }
}

void clsCmcCln3Sequence::task() {
    const bool active = operation_ != kOpNone;
    clsCmcCln3Drv& drv = line_.cln3D();
    // A port fault found since the last step (the device lost, an overflow, a failed open)
    // ends the operation here, even while the driver still waits for an answer that cannot
    // come, and before any later step could reset the port flags and carry on as if the step
    // had succeeded.
    const bool portFault = operation_ != kOpNone && stepNo_ != 0 && LineFaulted();
    // A frame still in the port's buffer holds the next step back; a port that takes nothing
    // more for as long as an answer may take has failed.
    CountFrameOut();
    bool frameDraining = frameUncounted_ && !portFault && drv.lastError() == DriverError::None &&
                         line_.com().comOutPending() > 0;
    if (frameDraining && drainTick_.counter() < 1) {
        drv.lastError(DriverError::NoEcho);
        frameDraining = false;
    }
    if (operation_ != kOpNone && !frameDraining && (portFault || !drv.Running())) {
        int16_t c = 0;
        const bool failed = drv.lastError() != DriverError::None;
        switch (portFault ? kOpNone : operation_) {
            case kOpIdentify:
                c = stepNo_ == 0 ? kStepIdentify : kStepFinish;
                flgHighSpeed_ = false;
                flgKeepStep_ = false;
                if (stepNo_ != 0 && compareBound_) {
                    if (failed) {
                        myError_ = SequenceError::Driver;
                    } else {
                        CompareWithBound();
                    }
                    if (myError_ != SequenceError::None) c = kStepFailed;
                }
                break;
            case kOpCloneRead:
                if (stepNo_ == 0) {
                    c = kStepIdentify;
                } else if (stepNo_ == 1) {
                    if (failed) {
                        myError_ = SequenceError::Driver;
                    } else {
                        IdentityCheck();
                    }
                    c = myError_ != SequenceError::None ? kStepFailed : 0;
                } else if (stepNo_ == 2) {
                    if (failed) {
                        myError_ = SequenceError::Driver;
                    } else if (!flgHighSpeed_) {
                        // Tells the transceiver to change its rate, as an E8 operation of its
                        // own; its completion resumes this read here (re-enters task).
                        savedStepNo_ = stepNo_;
                        savedOperation_ = operation_;
                        flgHighSpeed_ = true;
                        SetOperation(kOpE8);
                        e8Frames_ = {E8DataText(1, 15)};
                        Begin();
                    } else {
                        flgHighSpeed_ = false;
                        drv.Reset();
                        line_.com().HighSpeedBRatioSet();
                    }
                    c = myError_ != SequenceError::None ? kStepFailed : 0;
                } else if (stepNo_ == 3) {
                    if (failed) {
                        myError_ = SequenceError::Driver;
                        c = kStepFailed;
                    } else {
                        PrepareStep();
                        line_.com().comOpen(true);
                        drv.SendFE(FeCount());
                        c = kStepCloneRead;
                    }
                } else if (stepNo_ == 4) {
                    if (failed) {
                        c = kStepFailed;
                    } else {
                        drv.Reset();
                        line_.com().Reset();
                    }
                } else {
                    if (failed) {
                        c = kStepFailed;
                    } else {
                        PrepareStep();
                        line_.com().comOpen(true);
                        if (line_.com().errCannotOpen()) {
                            // The read cannot be closed on the line: it has not succeeded.
                            c = kStepFailed;
                        } else {
                            drv.SendFE(FeCount());
                            c = kStepFinish;
                            cloneReadVerified_ = drv.cloneReadComplete();
                        }
                    }
                }
                break;
            case kOpCloneWrite:
                if (stepNo_ == 0) {
                    c = kStepIdentify;
                } else if (stepNo_ == 1) {
                    if (failed) {
                        myError_ = SequenceError::Driver;
                    } else {
                        IdentityCheck();
                        // A whole image is written only into the radio it was read from.
                        if (myError_ == SequenceError::None) CompareWithBound();
                    }
                    c = myError_ != SequenceError::None ? kStepFailed : kStepCloneWrite;
                } else {
                    c = failed ? kStepFailed : kStepFinish;
                }
                break;
            case kOpE8:
                if (stepNo_ == 0) {
                    // After a quiet spell the cable may have moved, the port open or not: a
                    // frame that changes the radio waits for the radio to be known again.
                    if (!e8AnsRequired_ && !flgHighSpeed_ && quietTick_.counter() < 1)
                        confirmedEpoch_.reset();
                    confirmingIdentity_ = MustConfirmIdentity();
                    c = confirmingIdentity_ ? kStepIdentify : kStepE8;
                } else if (confirmingIdentity_) {
                    confirmingIdentity_ = false;
                    if (!failed) CompareWithBound();
                    c = failed || myError_ != SequenceError::None ? kStepFailed : kStepE8;
                } else {
                    c = failed ? kStepFailed : (e8Sent_ < e8Frames_.size() ? kStepE8 : kStepFinish);
                    if (flgHighSpeed_) {
                        stepNo_ = savedStepNo_;
                        SetOperation(savedOperation_);
                        flgKeepStep_ = true;
                    }
                }
                break;
            default:
                break;
        }
        if (portFault) c = kStepFailed;
        if (c == kStepFailed) {
            line_.com().comOpen(false);
            host_.MsgBoxCloneErr(*this);
        }
        if (flgKeepStep_) {
            flgKeepStep_ = false;
        } else {
            stepNo_ = static_cast<int16_t>(stepNo_ + 1);
            if (c == kStepFailed) c = kStepFinish;
            if (c != 0) {
                stepCode_ = c;
                StartStep();
            }
        }
    }
    if (active) {
        holdTick_.counter(comHoldReload_);
        quietTick_.counter(kQuietSpellMs);
    } else if (comHoldReload_ > 0 && holdTick_.counter() < 1 && line_.com().comOpen()) {
        Reset();
    }
}

}  // namespace calvex
