#pragma once

#include <optional>
#include <string>
#include <vector>

#include "clone/ICloneSequencer.h"

namespace calvex::testing {

// Records what is asked of the sequencer; OpRunning is whatever the test sets.
class FakeCloneSequencer : public ICloneSequencer {
  public:
    void easyReset(int16_t portNo) override { resets.push_back(portNo); }
    int16_t easyCloneRead() override {
        if (refuse) return 1;
        ++cloneReads;
        return 0;
    }
    int16_t easyCloneWrite() override {
        ++cloneWrites;
        return 0;
    }
    int16_t easySendE8NoAnswer(const std::string& spE8) override {
        return easySendE8Frames({spE8});
    }
    // Every frame of a batch goes out whole unless the test says how many do.
    int16_t easySendE8Frames(const std::vector<std::string>& frames) override {
        if (refuse) return 1;
        sentNoAnswer.insert(sentNoAnswer.end(), frames.begin(), frames.end());
        lastBatch = frames.size();
        return 0;
    }
    std::size_t e8FramesSent() const override { return framesSent ? *framesSent : lastBatch; }
    int16_t easyConfirmIdentity() override {
        ++identityConfirmations;
        return 0;
    }
    int16_t easySendE8ReqAnswer(const std::string& spE8) override {
        if (refuse) return 1;
        sentReqAnswer.push_back(spE8);
        return 0;
    }
    bool OpRunning() const override { return running; }
    void comHoldReload(int32_t ms) override { holdMs = ms; }
    SequenceError error() const override { return errorCode; }
    bool cloneReadVerified() const override { return readVerified; }
    int32_t lastEeAdr() const override { return eeAdr; }
    std::string varLastE8Answer() const override { return e8Answer; }
    void bindIdentity(const std::string& answer) override { bound = answer; }
    const std::string& boundIdentity() const override { return bound; }
    const std::string& identityAnswer() const override { return identity; }

    std::vector<int16_t> resets;
    std::vector<std::string> sentNoAnswer;
    std::vector<std::string> sentReqAnswer;
    // Every start is refused, as while another operation runs.
    bool refuse = false;
    std::size_t lastBatch = 0;
    std::optional<std::size_t> framesSent;
    int identityConfirmations = 0;
    int cloneReads = 0;
    int cloneWrites = 0;
    bool running = false;
    int32_t holdMs = 0;
    SequenceError errorCode = SequenceError::None;
    bool readVerified = true;
    int32_t eeAdr = 0;
    std::string e8Answer;
    std::string bound;
    std::string identity;
};

}  // namespace calvex::testing
