#pragma once

#include <cstdint>
#include <string>

#include "clone/ICloneSequencer.h"
#include "clone/ISequencerHost.h"
#include "link/ITickSource.h"
#include "link/clsCmcTick.h"
#include "link/frmCom.h"
#include "memory/clsCmcRadio.h"

namespace calvex {

// Turns the driver's single exchanges into whole operations: identify, clone read (with the
// switch to the high rate), clone write and one adjustment command. Polled: task advances an
// operation by at most one step, and only while the driver is idle. It opens the port for
// every step and releases it after comHoldReload ms without an operation.
class clsCmcCln3Sequence : public ICloneSequencer {
  public:
    // Operation codes.
    static constexpr int16_t kOpNone = 0;
    static constexpr int16_t kOpIdentify = 1;
    static constexpr int16_t kOpCloneRead = 2;
    static constexpr int16_t kOpCloneWrite = 3;
    static constexpr int16_t kOpE8 = 4;
    clsCmcCln3Sequence(frmCom& com, clsCmcRadio& radio, ISequencerHost& host,
                       ITickSource& ticks = systemTickSource());

    void Reset();
    void Standby();
    void easyReset(int16_t portNo) override;
    void easyCloneRead() override;
    void easyCloneWrite() override;
    int16_t easySendE8NoAnswer(const std::string& spE8) override;
    int16_t easySendE8ReqAnswer(const std::string& spE8) override;
    void comHoldReload(int32_t ms) override;
    int32_t comHoldReload() const { return comHoldReload_; }
    int16_t ComPortNo() const { return comPortNo_; }
    void ComPortNo(int16_t port) { comPortNo_ = port; }
    int16_t Operation() const { return operation_; }
    void Operation(int16_t op);
    void e8HexStrToSend(const std::string& text) { e8HexStrToSend_ = text; }
    void e8AnsRequired(bool on) { e8AnsRequired_ = on; }
    void start();
    bool OpRunning() const override { return stepNo_ != 0; }
    SequenceError error() const override { return myError_; }
    // True when the last clone read ran to its end in this operation with every block of the
    // image and an accepted E5; cleared when a clone read starts and by Reset.
    bool cloneReadVerified() const override { return cloneReadVerified_; }
    int32_t lastEeAdr() const override { return com_.cln3D().lastEeAdr(); }
    std::string varLastE8Answer() const override { return com_.cln3D().varLastE8Answer(); }
    void bindIdentity(const std::string& answer) override { boundAnswer_ = answer; }
    const std::string& boundIdentity() const override { return boundAnswer_; }
    const std::string& identityAnswer() const override { return ansInfo(); }
    const std::string& ansInfo() const;
    std::string ansNameM() const;
    std::string ansNameS() const;
    void task();

    int16_t stepNo() const { return stepNo_; }
    int16_t stepCode() const { return stepCode_; }

  private:
    void PrepareStep();
    void StartStep();
    void IdentityCheck();
    int16_t FeCount() const;
    // An operation that would change the radio over a port opened afresh confirms first that
    // the bound radio is the one on the line.
    bool MustConfirmIdentity() const;
    bool AnswerIsBound() const { return boundAnswer_.empty() || ansInfo() == boundAnswer_; }

    frmCom& com_;
    clsCmcRadio& radio_;
    ISequencerHost& host_;
    clsCmcTick holdTick_;

    int16_t comPortNo_ = 1;
    int16_t operation_ = 0;
    int16_t stepCode_ = 0;
    int16_t stepNo_ = 0;
    std::string e8HexStrToSend_;
    bool e8AnsRequired_ = false;
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
