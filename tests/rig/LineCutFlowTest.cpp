// A line lost at any point of an exchange, in process: the simulated radio's line drops and its
// device is gone for a while, as a USB adapter that drops out. The operation ends with the
// port's message, nothing reaches the radio afterwards, its memory is untouched, and a plain
// Connect works again.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "link/frmCom.h"
#include "model/BuiltInImage.h"
#include "model/CutPoint.h"
#include "rig/FlowBench.h"
#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::FlowBench;
using velka::CutPoint;

class CutBench : public FlowBench {
  public:
    // How long the device stays away; 0: it is back at its path at once, the hardest case.
    explicit CutBench(int32_t dropMs) {
        afterPoll = [this, dropMs] {
            const int64_t now = peer.nowMs();
            if (radio.takeCut(now)) {
                cutAtMs = now;
                framesAtCut = framesHeard;
                opensAtCut = port.openedWith().size();
                if (dropMs > 0) port.failOpen("No such file or directory");
                port.loseDevice("Input/output error");
            } else if (cutAtMs && now >= *cutAtMs + dropMs) {
                port.failOpen("");  // the device is back at its path
            }
        };
        radio.trace([this](int64_t, velka::Transceiver::TraceKind kind, const std::string&) {
            if (kind == velka::Transceiver::TraceKind::Received) ++framesHeard;
        });
    }
    int16_t critical(const std::string& text, const std::string& title,
                     const std::string& detail) override {
        details.push_back(detail);
        return FlowBench::critical(text, title, detail);
    }

    std::optional<int64_t> cutAtMs;
    int framesHeard = 0;
    int framesAtCut = 0;
    std::size_t opensAtCut = 0;
    std::vector<std::string> details;
};

struct CutCase {
    const char* name;
    CutPoint point;
    // What the technician does once connected to reach the point (nothing: during Connect).
    std::function<void(CutBench&)> then;
};

class LineCutFlow : public ::testing::TestWithParam<std::tuple<CutCase, int32_t>> {};

TEST_P(LineCutFlow, EndsWithThePortMessageAndLeavesTheRadioAsItWas) {
    const CutCase& c = std::get<0>(GetParam());
    CutBench b(std::get<1>(GetParam()));
    const std::string before = velka::builtInImage();
    ASSERT_EQ(b.radio.image(), before);
    if (c.then) {
        ASSERT_TRUE(b.connect());
        b.radio.cutAt(c.point);
        c.then(b);
    } else {
        b.radio.cutAt(c.point);
        b.rig.RigOpFunc_ClickCmd00(0);
    }
    ASSERT_TRUE(b.tickUntil([&] { return !b.messages.empty(); }, 1000)) << "no message";
    // Well past the drop: the device is back, and still nothing may reopen it by itself.
    for (int i = 0; i < 40; ++i)
        b.tick();

    ASSERT_TRUE(b.cutAtMs) << "the line was never cut";
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0].rfind("Cannot access COM 1.\r\n\r\nCheck the following:", 0), 0u)
        << b.messages[0];
    const std::string& detail = b.details[0];
    EXPECT_TRUE(detail == std::string("COM1: ") + frmCom::kDisconnected ||
                detail == "COM1: No such file or directory")
        << detail;
    EXPECT_FALSE(b.core.com.comOpen());
    EXPECT_EQ(b.state(), 0);
    EXPECT_EQ(b.port.openedWith().size(), b.opensAtCut) << "the port was opened again";
    EXPECT_EQ(b.framesHeard, b.framesAtCut) << "a frame reached the radio after the cut";
    EXPECT_EQ(b.radio.image(), before);

    ASSERT_TRUE(b.connect());
    EXPECT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.core.radio.eepImage.ReadBlock(0, 1664), before);
}

const auto kKey = [](CutBench& b) { b.console.UpDown(FlowBench::kPowerHi, 5); };
const auto kSweep = [](CutBench& b) { b.enter(FlowBench::kBpfT1); };
const auto kTxf = [](CutBench& b) { b.enter(FlowBench::kTxf); };
const auto kReload = [](CutBench& b) { b.rig.RigOpFunc_ClickCmd00(1); };

INSTANTIATE_TEST_SUITE_P(
    Flow, LineCutFlow,
    ::testing::Combine(::testing::Values(CutCase{"Identify", CutPoint::Identify, nullptr},
                                         CutCase{"RateSwitch", CutPoint::RateSwitch, nullptr},
                                         CutCase{"Read", CutPoint::Read, nullptr},
                                         CutCase{"Preamble", CutPoint::Preamble, nullptr},
                                         CutCase{"ItemsAfterTheRead", CutPoint::Adjust, nullptr},
                                         CutCase{"FirstReading", CutPoint::Reading, nullptr},
                                         CutCase{"KeyOnAnItem", CutPoint::Adjust, kKey},
                                         CutCase{"Reload", CutPoint::Reading, kReload},
                                         CutCase{"FilterSweep", CutPoint::Procedure, kSweep},
                                         CutCase{"OscillatorProcedure", CutPoint::Procedure, kTxf}),
                       ::testing::Values(0, 100)),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).name) + "_back_after_" +
               std::to_string(std::get<1>(p.param)) + "ms";
    });

class ReadOutcome : public testing::RigVelkaFixture, public ::testing::WithParamInterface<bool> {};

// Whatever made the read end, only a read vouched for in full is loaded and sent back.
TEST_P(ReadOutcome, OnlyAVerifiedReadIsLoadedAndSent) {
    const bool verified = GetParam();
    seq.readVerified = verified;
    rig.RigOpFunc_ClickCmd00(0);
    rig.task();  // starts the read
    ASSERT_EQ(seq.cloneReads, 1);
    rig.task();  // the read has ended
    if (verified) {
        EXPECT_EQ(seq.sentNoAnswer, std::vector<std::string>{"023031"});
        EXPECT_EQ(window.cloneErrorMessages, 0);
        EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
    } else {
        EXPECT_TRUE(seq.sentNoAnswer.empty());
        EXPECT_EQ(window.cloneErrorMessages, 1);
        EXPECT_EQ(Access::opState(rig), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Rig, ReadOutcome, ::testing::Bool(), [](const auto& p) {
    return std::string(p.param ? "Verified" : "Incomplete");
});

}  // namespace
}  // namespace calvex
