#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "clone/CloneLine.h"
#include "clone/ICloneSequencer.h"
#include "clone/ISequencerHost.h"
#include "link/ITickSource.h"
#include "link/clsCmcTick.h"
#include "memory/clsCmcRadio.h"

namespace calvex {

// Turns the driver's single exchanges into whole operations: identify, clone read (with the
// switch to the high rate), clone write and one adjustment command. Polled: task advances an
// operation by at most one step, and only while the driver is idle. It opens the port for
// every step and releases it after comHoldReload ms without an operation.
//
// One operation at a time: a start while one is armed or running is refused (1) and changes
// nothing. While a radio is bound, frames that change it go out only after an identification
// compared in full on the line as it is now (see identityConfirmed).
class clsCmcCln3Sequence : public ICloneSequencer {
  public:
    // Operation codes.
    static constexpr int16_t kOpNone = 0;
    static constexpr int16_t kOpIdentify = 1;
    static constexpr int16_t kOpCloneRead = 2;
    static constexpr int16_t kOpCloneWrite = 3;
    static constexpr int16_t kOpE8 = 4;
    clsCmcCln3Sequence(CloneLine& line, clsCmcRadio& radio, ISequencerHost& host,
                       ITickSource& ticks = systemTickSource());

    // A line quiet this long may have had its cable moved: the next frame that changes the
    // radio is preceded by an identification.
    static constexpr int32_t kQuietSpellMs = 2000;

    void Reset();
    void Standby();
    void easyReset(int16_t portNo) override;
    int16_t easyCloneRead() override;
    int16_t easyCloneWrite() override;
    int16_t easySendE8NoAnswer(const std::string& spE8) override;
    int16_t easySendE8ReqAnswer(const std::string& spE8) override;
    int16_t easySendE8Frames(const std::vector<std::string>& frames) override;
    int16_t easyConfirmIdentity() override;
    std::size_t e8FramesSent() const override { return e8Sent_; }
    // The bound radio has answered on the line as it is now: no open, close, lost device or
    // change of port since. Frames that change the radio go out without a new identification
    // only while this holds and the line has not been quiet for a while.
    bool identityConfirmed() const;
    void comHoldReload(int32_t ms) override;
    int32_t comHoldReload() const { return comHoldReload_; }
    int16_t ComPortNo() const { return comPortNo_; }
    void ComPortNo(int16_t port) { comPortNo_ = port; }
    int16_t Operation() const { return operation_; }
    // Arms op for start; ignored while an operation is armed or running.
    void Operation(int16_t op);
    void e8HexStrToSend(const std::string& text) { e8Frames_ = {text}; }
    void e8AnsRequired(bool on) { e8AnsRequired_ = on; }
    // 0 started, 1 refused (an operation is armed or running).
    int16_t start();
    bool OpRunning() const override { return stepNo_ != 0; }
    bool Busy() const { return operation_ != kOpNone || stepNo_ != 0; }
    SequenceError error() const override { return myError_; }
    // True when the last clone read ran to its end in this operation with every block of the
    // image and an accepted E5; cleared when a clone read starts and by Reset.
    bool cloneReadVerified() const override { return cloneReadVerified_; }
    int32_t lastEeAdr() const override { return line_.cln3D().lastEeAdr(); }
    std::string varLastE8Answer() const override { return line_.cln3D().varLastE8Answer(); }
    void bindIdentity(const std::string& answer) override;
    const std::string& boundIdentity() const override { return boundAnswer_; }
    const std::string& identityAnswer() const override { return ansInfo(); }
    const std::string& ansInfo() const;
    std::string ansNameM() const;
    std::string ansNameS() const;
    void task();

    int16_t stepNo() const { return stepNo_; }
    int16_t stepCode() const { return stepCode_; }

  private:
    void SetOperation(int16_t op);
    // Starts the operation set up by the caller, without the busy check (the rate switch of a
    // clone read runs as an operation of its own from inside it).
    void Begin();
    // The last identification answered by the bound radio (confirmed) or by another (error).
    void CompareWithBound();
    void PrepareStep();
    void StartStep();
    void IdentityCheck();
    // The device lost, an overflow or a failed open since the port was last set up.
    bool LineFaulted() const;
    // Counts the frame last written once it has gone out whole.
    void CountFrameOut();
    int16_t FeCount() const;
    // An operation that would change the radio over a port opened afresh confirms first that
    // the bound radio is the one on the line.
    bool MustConfirmIdentity() const;

    CloneLine& line_;
    clsCmcRadio& radio_;
    ISequencerHost& host_;
    clsCmcTick holdTick_;

    int16_t comPortNo_ = 1;
    int16_t operation_ = 0;
    int16_t stepCode_ = 0;
    int16_t stepNo_ = 0;
    bool e8AnsRequired_ = false;
    // The frames of the E8 operation under way, sent in order; how many went out whole.
    std::vector<std::string> e8Frames_;
    std::size_t e8Sent_ = 0;
    // The frame last written is counted once the port has handed all of it to the system with
    // no fault; until then the next one waits.
    bool frameUncounted_ = false;
    clsCmcTick drainTick_;
    // The identify-only operation compares the answer with the bound radio.
    bool compareBound_ = false;
    // The line (frmCom::lineEpoch) on which the bound radio last answered; none: not confirmed.
    std::optional<uint64_t> confirmedEpoch_;
    // Runs down from the end of the last pass with an operation.
    clsCmcTick quietTick_;
    int32_t comHoldReload_ = 0;
    SequenceError myError_ = SequenceError::None;
    bool flgHighSpeed_ = false;
    bool flgKeepStep_ = false;
    int16_t savedStepNo_ = 0;
    int16_t savedOperation_ = 0;
    bool cloneReadVerified_ = false;
    std::string boundAnswer_;
    // The identification sent ahead of an adjustment command is under way.
    bool confirmingIdentity_ = false;
};

}  // namespace calvex
