#include <gtest/gtest.h>

#include <stdexcept>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;

// The task against a sequencer whose operations finish at once.
class RigTask : public RigVelkaFixture {
  protected:
    static constexpr int16_t kBalRatio = Index(VelkaItem::BalRatio),
                             kModRatio = Index(VelkaItem::ModRatio), kChNo = Index(VelkaItem::ChNo);

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

// The task starts operations only on an idle line: a refusal is a fault of the program, never a
// request silently lost whose answer would be taken from another; queued adjustments wait.
TEST_F(RigTask, ARefusedStartIsAFaultAndQueuedAdjustmentsWait) {
    seq.refuse = true;
    rig.RigOpFunc_ClickCmd00(0);
    EXPECT_THROW(rig.task(), std::logic_error);

    seq.refuse = false;
    connectAndPrepare();
    for (int16_t i = 0; i < console.ListCount(); ++i)
        console.flgChanged(i, false);
    Access::opState(rig) = 16;  // sending the changed items
    seq.sentNoAnswer.clear();
    console.UpDown(Index(VelkaItem::PowerHi), 1);
    seq.refuse = true;
    rig.task();
    rig.task();
    EXPECT_TRUE(seq.sentNoAnswer.empty());
    seq.refuse = false;
    for (int i = 0; i < 3 && seq.sentNoAnswer.empty(); ++i)
        rig.task();
    EXPECT_EQ(seq.sentNoAnswer.size(), 1u) << "sent once the line takes it";
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

TEST_F(RigTask, TheCycleStartsTheEnterActionOfAnItemThatHasOne) {
    constexpr int16_t kPowerHi = Index(VelkaItem::PowerHi), kTxf = Index(VelkaItem::Txf);
    struct Case {
        const char* name;
        int16_t pressed;  // -1: none
        bool started;
        bool stillPending;
    } cases[] = {
        {"Enter on TXF (event 0)", kTxf, true, false},
        {"no Enter pending", -1, false, false},
        {"Enter on an item without action", kPowerHi, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.RigOpFunc_ResetAll();
        if (c.pressed >= 0) console.EnterPushed(c.pressed);
        Access::opState(rig) = 17;
        rig.task();
        EXPECT_EQ(Access::procStep(rig) != 0, c.started);
        if (c.started) {
            EXPECT_TRUE(Access::procStep(rig) >= 1 && Access::procStep(rig) <= 5);
        }
        if (c.pressed >= 0) {
            EXPECT_EQ(console.flgEnterOn(c.pressed), c.stillPending);
        }
    }
}

TEST_F(RigTask, WindowControlsFollowTheStateInEveryState) {
    // The title panel while connecting, the console while editing, the dump in state 20.
    struct Expected {
        bool title, console, dump;
        bool connect, reload, dispPara;  // enabled
        bool dispParaDefault;            // default and cancel button
    };
    const Expected shielding{true, false, false, true, false, false, false};
    const Expected editing{false, true, false, true, true, true, false};
    const Expected dumping{false, false, true, false, false, true, true};
    for (int16_t state = 0; state <= 20; ++state) {
        const Expected& e = state <= 2 ? shielding : state <= 19 ? editing : dumping;
        for (const bool before : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "state " << state << ", controls " << before);
            window.panels = {before, before, !before, before};
            for (auto& b : window.buttons) {
                b.enabled = before;
                b.isDefault = b.isCancel = before;
            }
            window.focus = "";
            Access::opState(rig) = state;
            Access::updateMainControls(rig);
            EXPECT_EQ(window.panels[0], e.title);
            EXPECT_EQ(window.panels[1], e.console);
            EXPECT_EQ(window.panels[2], !before);  // the monitor panel is left alone
            EXPECT_EQ(window.panels[3], e.dump);
            EXPECT_EQ(window.button(0).enabled, e.connect);
            EXPECT_EQ(window.button(1).enabled, e.reload);
            EXPECT_EQ(window.button(2).enabled, e.dispPara);
            EXPECT_EQ(window.button(2).isDefault, e.dispParaDefault);
            EXPECT_EQ(window.button(2).isCancel, e.dispParaDefault);
            // The console takes the focus when its panel appears, not while it stays.
            EXPECT_EQ(window.focus, e.console && !before ? "lboConsole" : "");
        }
    }
}

TEST_F(RigTask, AReadingIsDrawnOnlyWhenItsValueChanges) {
    struct Case {
        const char* name;
        int16_t list;
        bool (*read)(clsIndOp_RigVelka&, int16_t, bool);
        const char* text;  // row 2 for the raw value 0x80
    } cases[] = {
        {"A/D", 0, Access::readMonitor, "LVIN :128:80h:  2.51V"},
        {"D/A", 1, Access::readAdjustMonitor, "REF    :128:80h:  2.51V"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& box = window.monitors[static_cast<std::size_t>(c.list)];
        const auto reading = [&](const char* raw) {
            seq.e8Answer = std::string("\x26\x01\x01\x00\x03", 5) + raw;
            ASSERT_FALSE(c.read(rig, 2, true));
            ASSERT_TRUE(c.read(rig, 2, false));
        };
        const int before = box.replacements;
        reading("80");
        EXPECT_EQ(box.replacements, before + 1);
        EXPECT_EQ(box.List(3), c.text);
        reading("80");
        EXPECT_EQ(box.replacements, before + 1);
        reading("81");
        EXPECT_EQ(box.replacements, before + 2);
        reading("81");
        reading("81");
        EXPECT_EQ(box.replacements, before + 2);
    }
}

}  // namespace
}  // namespace calvex
