#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;

constexpr int16_t kChNo = Index(VelkaItem::ChNo);
constexpr int16_t kBpfAll = Index(VelkaItem::BpfAll);
constexpr int16_t kBpfT1 = Index(VelkaItem::BpfT1);
constexpr int16_t kBpfT2 = Index(VelkaItem::BpfT2);
constexpr int16_t kTxf = Index(VelkaItem::Txf);

class RigEvents : public RigVelkaFixture {
  protected:
    void writeFreq(int32_t adr, uint32_t hz) {
        for (int k = 3; k >= 0; --k) {
            radio.eepImage.WriteByte(adr++, static_cast<uint8_t>(hz >> (8 * k)));
        }
    }
    // Channel ch with its RX and TX words (top bit: inhibit), power byte and mode byte.
    void channel(int16_t ch, uint32_t rx, uint32_t tx, uint8_t power, uint8_t mode) {
        const int32_t base = 606 + 24 * ch;
        writeFreq(base, rx);
        writeFreq(base + 4, tx);
        radio.eepImage.WriteByte(base + 12, power);
        radio.eepImage.WriteByte(base + 15, mode);
    }
    // Shows list entry v on the channel item.
    std::string channelLine(int16_t v) {
        console.Max(kChNo, 8);
        console.Value(kChNo, v);
        console.Disp(kChNo);
        return window.console.lines[kChNo];
    }
    std::string line(int16_t i) {
        console.Disp(i);
        return window.console.lines[static_cast<std::size_t>(i)];
    }
};

TEST_F(RigEvents, ChannelLine) {
    const uint32_t inhibit = 0x80000000u;
    struct Case {
        int16_t ch;
        uint32_t rx, tx;
        uint8_t power, mode;
        const char* expected;
    } cases[] = {
        {0, 150000000, 150000000, 0x03, 0x00,
         "    CH No.: 01 RX = 150.000000, TX =   <-        RF Power: High  Mode: Wide"},
        {1, 150000000, 155012500, 0x02, 0x80,
         "    CH No.: 02 RX = 150.000000, TX = 155.012500  RF Power: Low2  Mode: Narrow"},
        {8, inhibit, 146520000, 0x00, 0x00,
         "    CH No.: 09 RX = Inhibit   , TX = 146.520000  RF Power: Low1  Mode: Wide"},
        {9, inhibit, inhibit, 0x01, 0x00,
         "    CH No.: 10 RX = Inhibit   , TX = Inhibit     RF Power: Low1  Mode: Wide"},
        {2, 446006250, inhibit | 5, 0x03, 0x00,
         "    CH No.: 03 RX = 446.006250, TX = Inhibit     RF Power: High  Mode: Wide"},
    };
    for (const auto& c : cases) {
        channel(c.ch, c.rx, c.tx, c.power, c.mode);
        Access::chList(rig)[4] = c.ch;
        EXPECT_EQ(channelLine(4), c.expected);
    }
}

TEST_F(RigEvents, ChannelSendUsesTheListAndNumbersFromOne) {
    Access::chList(rig) = {0, 2, 5, 0, 0, 0, 0, 0, 0};
    console.Max(kChNo, 2);
    console.Value(kChNo, 2);
    seq.sentNoAnswer.clear();
    console.SendE8(kChNo);
    EXPECT_TRUE(seq.sentNoAnswer.empty()) << "queued for the task";
    EXPECT_EQ(Access::curChannel(rig), 0) << "not on the channel before it is sent";
    Access::sendQueued(rig);
    EXPECT_EQ(seq.sentNoAnswer, std::vector<std::string>{"003036"});
    EXPECT_EQ(Access::curChannel(rig), 5);

    console.Value(kChNo, 1);
    Access::chList(rig)[1] = 2;
    seq.sentNoAnswer.clear();
    console.SendE8(kChNo);
    seq.framesSent = 0;  // never reached the line
    Access::sendQueued(rig);
    EXPECT_EQ(seq.sentNoAnswer, std::vector<std::string>{"003033"});
    EXPECT_EQ(Access::curChannel(rig), 5);
    console.SendE8(kChNo);
    seq.framesSent.reset();
    Access::sendQueued(rig);
    EXPECT_EQ(Access::curChannel(rig), 2);
}

TEST_F(RigEvents, TxfLine) {
    channel(3, 150000000, 150000000, 0x03, 0x00);
    Access::curChannel(rig) = 3;
    console.Value(kTxf, 128);
    EXPECT_EQ(line(kTxf), "       TXF: [Enter] to Start");

    Access::procStep(rig) = 3;
    EXPECT_EQ(line(kTxf),
              "       TXF: 1st TX Freq = 150.000000MHz, Setting = 128 [##########----------]");
    Access::txfSecondPhase(rig) = true;
    console.Value(kTxf, 5);
    EXPECT_EQ(line(kTxf),
              "       TXF: 2nd TX Freq = 150.001500MHz, Setting =   5 [--------------------]");
    channel(3, 150000000, 0x80000000u, 0x03, 0x00);
    EXPECT_EQ(line(kTxf),
              "       TXF: 2nd TX Freq = Inhibit, Setting =   5 [--------------------]");
}

TEST_F(RigEvents, FilterLines) {
    EXPECT_EQ(line(kBpfAll), "   BPF ALL: [Enter] to Sweep");
    EXPECT_EQ(line(kBpfT1), "    BPF T1:   0 [##########----------] [Enter] to Sweep");

    Access::procStep(rig) = 12;
    Access::bpfSweep(rig) = {false, true, false};
    Access::idxBpfAll(rig) = kBpfAll;
    EXPECT_EQ(line(kBpfAll), "   BPF ALL: Sweeping");
    EXPECT_EQ(line(kBpfT1), "    BPF T1:   0 [##########----------]");
    EXPECT_EQ(line(kBpfT2), "    BPF T2:   0 [##########----------] Sweeping");

    Access::idxBpfAll(rig) = kBpfT2;  // a single-filter sweep
    EXPECT_EQ(line(kBpfAll), "   BPF ALL: [Enter] to Sweep");
}

TEST_F(RigEvents, RssiAndUnknownDisplayEvents) {
    int16_t index = kTxf;
    EXPECT_EQ(rig.ConsEv_Disp(console, index, 4, 0), "       TXF: [Enter] to Start");
    Access::procStep(rig) = 7;
    EXPECT_EQ(rig.ConsEv_Disp(console, index, 4, 0), "       TXF: RSSI S3 Level ");
    Access::rssiS1Phase(rig) = true;
    EXPECT_EQ(rig.ConsEv_Disp(console, index, 4, 0), "       TXF: RSSI S1 Level ");
    EXPECT_EQ(rig.ConsEv_Disp(console, index, 5, 0), "???");
    EXPECT_EQ(rig.ConsEv_Disp(console, index, -1, 0), "???");
}

TEST_F(RigEvents, EnterStartsOrConfirmsTheProcedures) {
    struct Case {
        int16_t stepBefore;
        int16_t index;
        int16_t eventNo;
        int16_t stepAfter;
        bool txfNext, rssiNext;
        std::array<bool, 3> sweep;
        bool sweepAll;
    } cases[] = {
        {0, kTxf, 0, 1, false, false, {true, true, false}, true},
        {4, kTxf, 0, 4, true, false, {true, true, false}, true},    // confirms
        {10, kTxf, 0, 1, false, false, {true, true, false}, true},  // ends the sweep
        {0, kTxf, 1, 6, false, false, {true, true, false}, true},
        {7, kTxf, 1, 7, false, true, {true, true, false}, true},
        {0, kBpfT1, 2, 9, false, false, {true, false, false}, false},
        {0, kBpfT2, 3, 9, false, false, {false, true, false}, false},
        {3, kBpfAll, 4, 9, false, false, {true, true, false}, true},
        {11, kBpfT2, 3, 11, false, false, {true, true, false}, true},  // sweep running: ignored
        {2, kTxf, 7, 2, false, false, {true, true, false}, true},      // no such event
    };
    // The sweep flags carry over from case to case, as they do in the class.
    Access::bpfSweep(rig) = {true, true, false};
    Access::bpfSweepAll(rig) = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << c.stepBefore << " event " << c.eventNo);
        Access::procStep(rig) = c.stepBefore;
        Access::txfNext(rig) = false;
        Access::rssiNext(rig) = false;
        Access::txfSecondPhase(rig) = true;
        Access::txfWriteAll(rig) = true;
        Access::rssiS1Phase(rig) = true;
        int16_t index = c.index;
        rig.ConsEv_Enter(console, index, c.eventNo, 0);
        EXPECT_EQ(Access::procStep(rig), c.stepAfter);
        EXPECT_EQ(Access::txfNext(rig), c.txfNext);
        EXPECT_EQ(Access::rssiNext(rig), c.rssiNext);
        EXPECT_EQ(Access::bpfSweep(rig), c.sweep);
        EXPECT_EQ(Access::bpfSweepAll(rig), c.sweepAll);
        if (c.stepAfter == 1 && c.stepBefore != 1) {
            EXPECT_FALSE(Access::txfSecondPhase(rig));
            EXPECT_FALSE(Access::txfWriteAll(rig));
        }
        if (c.stepAfter == 6 && c.stepBefore != 6) {
            EXPECT_FALSE(Access::rssiS1Phase(rig));
        }
        if (c.stepAfter == 9 && c.stepBefore != 9) {
            EXPECT_EQ(Access::idxBpfAll(rig), c.index);
        }
    }
}

TEST_F(RigEvents, EnterOnBpfAllThroughTheConsole) {
    console.EnterPushed(kBpfAll);
    console.flgEnterOn(kBpfAll, false);  // the task clears the flag before executing
    console.EnterExec(kBpfAll);
    EXPECT_EQ(Access::procStep(rig), 9);
    EXPECT_EQ(window.console.lines[kBpfAll], "   BPF ALL: Sweeping");
    EXPECT_EQ(line(kBpfT1), "    BPF T1:   0 [##########----------] Sweeping");
    EXPECT_EQ(line(kBpfT2), "    BPF T2:   0 [##########----------] Sweeping");
}

}  // namespace
}  // namespace calvex
