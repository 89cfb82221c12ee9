#include <gtest/gtest.h>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;

// The task against a sequencer whose operations finish at once.
class RigTask : public RigVelkaFixture {
  protected:
    static constexpr int16_t kBalRatio = 5, kModRatio = 7, kChNo = 0;

    // Connect: state 1, the read (finished at once), then the preparation.
    void connectAndPrepare() {
        const int reads = seq.cloneReads;
        rig.RigOpFunc_ClickCmd00(0);
        rig.task();  // states 1 and 2: starts the read
        ASSERT_EQ(seq.cloneReads, reads + 1);
        rig.task();  // the read has finished: preparation, then the cycle
    }
    void image(int32_t adr, uint8_t v) { radio.eepImage.WriteByte(adr, v); }
};

TEST_F(RigTask, RatiosAfterTheRead) {
    struct Case {
        uint8_t balW, balN, modW, modN;
        int16_t balRatio, modRatio;
    } cases[] = {
        {200, 100, 100, 50, 128, 128},  // Int(100 * 255 / 200 + 0.5) = 128
        {0, 0, 0, 0, 0, 0},             // both levels 0: ratio 0
        {0, 50, 0, 50, 255, 255},       // no wide level: the item's maximum
        {80, 0, 80, 0, 0, 0},
        {50, 100, 50, 100, 255, 255},  // narrow above wide: clamped to the maximum
    };
    for (const auto& c : cases) {
        image(106, c.balW);
        image(107, c.balN);
        image(72, c.modW);
        image(73, c.modN);
        connectAndPrepare();
        EXPECT_EQ(console.Value(kBalRatio), c.balRatio) << int{c.balW} << "/" << int{c.balN};
        EXPECT_EQ(console.Value(kModRatio), c.modRatio) << int{c.modW} << "/" << int{c.modN};
        EXPECT_GE(Access::opState(rig), 3);
    }
}

TEST_F(RigTask, ChannelListFromTheImage) {
    // No programmed channel at all: channel 0 alone.
    connectAndPrepare();
    EXPECT_EQ(console.Max(kChNo), 0);
    EXPECT_EQ(Access::chList(rig)[0], 0);

    // Channels 2 and 5 programmed (an inhibited record counts as present).
    image(606 + 24 * 2 + 1, 0x10);
    image(606 + 24 * 5, 0x80);
    connectAndPrepare();
    EXPECT_EQ(console.Max(kChNo), 1);
    EXPECT_EQ(Access::chList(rig)[0], 2);
    EXPECT_EQ(Access::chList(rig)[1], 5);
    EXPECT_EQ(console.Value(kChNo), 0);
}

TEST_F(RigTask, PreparationMarksEverythingAndSwitchesAdjustmentModeOn) {
    connectAndPrepare();
    ASSERT_EQ(seq.sentNoAnswer.size(), 1u);
    EXPECT_EQ(seq.sentNoAnswer[0], "023031");
    // The cycle went on to the first reading (supply voltage, channel 0) and waits for it.
    ASSERT_EQ(seq.sentReqAnswer.size(), 1u);
    EXPECT_EQ(seq.sentReqAnswer[0], "033030");
    EXPECT_EQ(Access::opState(rig), 4);
    for (int16_t i = 0; i < console.ListCount(); ++i)
        EXPECT_TRUE(console.flgChanged(i)) << i;
}

TEST_F(RigTask, ProgressFollowsTheReadAddress) {
    rig.RigOpFunc_ClickCmd00(0);
    rig.task();
    seq.running = true;
    struct Case {
        int32_t adr;
        std::size_t marks;
    } cases[] = {{0, 0}, {50, 0}, {51, 1}, {832, 16}, {1663, 32}, {5000, 32}, {-7, 0}};
    for (const auto& c : cases) {
        seq.eeAdr = c.adr;
        rig.task();
        EXPECT_EQ(window.progress, std::string(c.marks, 'o') + std::string(32 - c.marks, '.'))
            << c.adr;
    }
}

TEST_F(RigTask, NothingRunsWhileTheSequencerIsBusy) {
    connectAndPrepare();
    const int16_t state = Access::opState(rig);
    seq.running = true;
    rig.RigOpFunc_ClickCmd00(1);
    for (int i = 0; i < 5; ++i)
        rig.task();
    EXPECT_EQ(Access::opState(rig), state);
    EXPECT_TRUE(Access::reloadRequest(rig));
}

}  // namespace
}  // namespace calvex
