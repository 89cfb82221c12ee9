#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "rig/FlowBench.h"
#include "rig/TxfTable.h"

namespace calvex {
namespace {

using testing::FlowBench;

class Flow : public FlowBench, public ::testing::Test {};

TEST_F(Flow, ConnectReadsTheImageLoadsAndSendsEveryItemOnce) {
    std::set<std::string> progress;
    rig.RigOpFunc_ClickCmd00(0);
    ASSERT_TRUE(tickUntil([&] {
        if (state() == 2) progress.insert(window.progress);
        return state() == 19 && !anyChanged();
    }));
    ASSERT_TRUE(messages.empty());

    // The progress bar grew while the image was read.
    std::set<std::size_t> marks;
    for (const auto& p : progress) {
        ASSERT_EQ(p.size(), 32u);
        marks.insert(static_cast<std::size_t>(std::count(p.begin(), p.end(), 'o')));
    }
    EXPECT_GE(marks.size(), 5u);
    EXPECT_EQ(*marks.rbegin(), 32u);

    // The console shows the radio's values, and both images agree byte for byte.
    EXPECT_EQ(console.Value(kPowerHi), radio.imageByte(79));
    EXPECT_EQ(core.radio.eepImage.ReadBlock(0, 1664), radio.image());

    // Every item with a command went out once; the narrow levels follow each of their two
    // items; adjustment mode was switched on.
    for (int command : {0, 4, 5, 6, 7, 8, 10, 12, 13, 17}) {
        EXPECT_EQ(adjustmentsOf(command), 1) << command;
    }
    EXPECT_EQ(adjustmentsOf(11), 2);
    EXPECT_EQ(adjustmentsOf(9), 2);
    EXPECT_EQ(adjustmentsOf(2), 1);
    EXPECT_TRUE(radio.adjustMode());
    // The first cycle refreshed the twelve readings.
    EXPECT_EQ(adjustmentsOf(3), 12);
    EXPECT_NE(window.monitors[0].List(1), "----");
    EXPECT_NE(window.monitors[1].List(8), "----");
    EXPECT_TRUE(window.panels[1]);
    EXPECT_FALSE(window.panels[0]);
    EXPECT_EQ(window.focus, "lboConsole");
}

TEST_F(Flow, OneKeyIsOneFrameAndTheTaskWaitsAfterIt) {
    ASSERT_TRUE(connect());
    const int16_t before = console.Value(kPowerHi);
    adjustments.clear();
    console.UpDown(kPowerHi, +1);
    tick();
    ASSERT_EQ(adjustments.size(), 1u);
    EXPECT_EQ(adjustments[0], std::make_pair(5, before + 1));
    EXPECT_EQ(radio.imageByte(79), before + 1);
    EXPECT_EQ(core.radio.eepImage.ReadByte(79), before + 1);

    // The scan stopped at the send; for the next 200 ms no state runs.
    EXPECT_EQ(state(), 16);
    const int sentAt = ticks;
    while (ticks - sentAt < 4) {  // up to 200 ms after the send
        tick();
        EXPECT_EQ(state(), 16) << (ticks - sentAt) * 50 << " ms";
    }
    tick();
    EXPECT_EQ(state(), 19);
    EXPECT_EQ(adjustments.size(), 1u);
}

TEST_F(Flow, ReloadRefreshesTheReadingsInTheNextCycleOnly) {
    ASSERT_TRUE(connect());
    adjustments.clear();
    for (int i = 0; i < 10; ++i)
        tick();
    EXPECT_EQ(adjustmentsOf(3), 0);

    radio.temperature(40.0);
    const std::string tempRow = window.monitors[0].List(2);
    rig.RigOpFunc_ClickCmd00(1);
    tickUntil([&] { return adjustmentsOf(3) == 12 && state() == 19; });
    EXPECT_EQ(adjustmentsOf(3), 12);
    EXPECT_NE(window.monitors[0].List(2), tempRow);
    for (int i = 0; i < 20; ++i)
        tick();
    EXPECT_EQ(adjustmentsOf(3), 12);
}

TEST_F(Flow, DispParaShowsTheDumpAndReturns) {
    ASSERT_TRUE(connect());
    rig.RigOpFunc_ClickCmd00(2);
    tickUntil([&] { return state() == 20; }, 10);
    ASSERT_EQ(state(), 20);
    EXPECT_EQ(window.dispPara.substr(0, 30), "                POW HI Level: ");
    EXPECT_EQ(std::count(window.dispPara.begin(), window.dispPara.end(), '\n'), 108);
    EXPECT_TRUE(window.panels[3]);
    EXPECT_FALSE(window.panels[1]);
    EXPECT_TRUE(window.button(2).isDefault && window.button(2).isCancel);
    EXPECT_FALSE(window.button(1).enabled);
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(state(), 20);

    rig.RigOpFunc_ClickCmd00(2);
    tick();
    EXPECT_EQ(state(), 19);
    // The button took the focus back, then the console got it as its panel reappeared.
    EXPECT_EQ(window.focus, "lboConsole");
    tick();
    EXPECT_EQ(state(), 19);  // one whole cycle again, from state 3
    EXPECT_TRUE(window.panels[1]);
    EXPECT_FALSE(window.panels[3]);
}

TEST_F(Flow, BadReadingEndsTheConnectionAndConnectWorksAgain) {
    ASSERT_TRUE(connect());
    radio.fault(velka::Fault::BadReading, true);
    rig.RigOpFunc_ClickCmd00(1);
    tickUntil([&] { return !messages.empty(); }, 200);
    ASSERT_EQ(messages.size(), 1u);
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(state(), 0);
    EXPECT_FALSE(core.com.comOpen());
    EXPECT_TRUE(window.panels[0]);

    radio.fault(velka::Fault::BadReading, false);
    EXPECT_TRUE(connect());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Flow, SilentTransceiverEndsTheConnectionAndConnectWorksAgain) {
    ASSERT_TRUE(connect());
    radio.fault(velka::Fault::Silent, true);
    rig.RigOpFunc_ClickCmd00(1);
    tickUntil([&] { return !messages.empty(); }, 400);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].substr(0, 27), "No answer from transceiver.");
    EXPECT_EQ(state(), 0);

    radio.fault(velka::Fault::Silent, false);
    EXPECT_TRUE(connect());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Flow, TxfWritesTheComputedTable) {
    ASSERT_TRUE(connect());
    auto& coef = Access::txfCoefs(rig);
    for (std::size_t i = 0; i <= 20; ++i)
        coef[i] = static_cast<float>((i * 7) % 11) - 5.0f;
    radio.temperature(25.0);
    adjustments.clear();
    const int16_t raw = runTxf(120, 150);
    ASSERT_TRUE(messages.empty());

    const TxfComputed expected = ComputeTxfTable(120, 150, coef, raw);
    for (int16_t k = 0; k < 40; ++k) {
        const auto byte = static_cast<uint8_t>(TxfPositionValue(expected, k));
        EXPECT_EQ(radio.imageByte(216 + k), byte) << k;
        EXPECT_EQ(core.radio.eepImage.ReadByte(216 + k), byte) << k;
    }
    // The last 40 adjustments are the table, position by position.
    ASSERT_GE(adjustments.size(), 40u);
    for (int k = 0; k < 40; ++k) {
        EXPECT_EQ(adjustments[adjustments.size() - 40 + k].first, 20 + k);
    }
    // The procedure has ended: the line shows its prompt again.
    EXPECT_EQ(window.console.List(kTxf), "       TXF: [Enter] to Start");
    EXPECT_EQ(console.ListCount(), 14);
}

TEST_F(Flow, TxfWritesTheTableWorkedOutByHand) {
    ASSERT_TRUE(connect());
    // The crystal's deviation in ppm at the 21 temperature borders.
    Access::txfCoefs(rig) = std::array<float, 22>{-10, -8, -7, -6, -5, -4, -2, -1, 0, 0,  0,
                                                  0,   0,  1,  2,  3,  4,  5,  6,  8, 10, 0};
    radio.temperature(25.0);
    // 10 ppm took 140 - 120 = 20 D/A steps, 2 per ppm: the value at border i is
    // 120 - 2 coef(i), and the slant of area i per 32 counts is
    // -64 (coef(i + 1) - coef(i)) / (border(i + 1) - border(i)); area 19 spans 15 counts, so
    // its -128 / 15 rounds to -9. At raw 173 (area 12, from border 160) the table predicts
    // 120 - 4 x 13 / 32 = 118.375, 2 below the setting: every initial value is raised by 2.
    const int initial[20] = {142, 138, 136, 134, 132, 130, 126, 124, 122, 122,
                             122, 122, 122, 120, 118, 116, 114, 112, 110, 106};
    const int slant[20] = {-8, -8, -8, -8, -8, -8, -4, -4, 0,   0,
                           0,  0,  -4, -4, -4, -8, -8, -8, -16, -9};
    ASSERT_EQ(runTxf(120, 140), 173);
    ASSERT_TRUE(messages.empty());
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(::testing::Message() << "area " << i);
        EXPECT_EQ(radio.imageByte(217 + 2 * i), initial[i]);
        EXPECT_EQ(static_cast<int8_t>(radio.imageByte(216 + 2 * i)), slant[i]);
        EXPECT_EQ(core.radio.eepImage.ReadByte(217 + 2 * i), initial[i]);
        EXPECT_EQ(core.radio.eepImage.ReadByte(216 + 2 * i), slant[i] & 0xFF);
    }
}

TEST_F(Flow, TxfWithoutCoefficientsWritesAFlatTableAndClamps) {
    ASSERT_TRUE(connect());
    runTxf(130, 140);
    for (int k = 0; k < 40; ++k) {
        EXPECT_EQ(radio.imageByte(216 + k), k % 2 ? 130 : 0) << k;
    }

    // A steep crystal: the first slant computes to -200 and an initial value to 300.
    auto& coef = Access::txfCoefs(rig);
    coef = {};
    coef[1] = 100;
    coef[2] = -172;
    window.beeps = 0;
    radio.temperature(25.0);  // raw 173: area 12, where the table is flat
    runTxf(128, 138);
    EXPECT_EQ(radio.imageByte(216), 0x80);  // -128
    EXPECT_EQ(radio.imageByte(217), 128);
    EXPECT_EQ(radio.imageByte(218), 127);
    EXPECT_EQ(radio.imageByte(219), 28);
    EXPECT_EQ(radio.imageByte(221), 255);
}

TEST_F(Flow, FilterSweepsFindTheMiddleOfTheFlatTop) {
    ASSERT_TRUE(connect());
    struct Case {
        int16_t item;
        int t1, t2;
    } cases[] = {
        {kBpfT1, velka::Transceiver::kBpfT1Best, -1},
        {kBpfT2, -1, velka::Transceiver::kBpfT2Best},
        {kBpfAll, velka::Transceiver::kBpfT1Best, velka::Transceiver::kBpfT2Best},
    };
    for (const auto& c : cases) {
        window.beeps = 0;
        adjustments.clear();
        enter(c.item);
        ASSERT_TRUE(tickUntil([&] { return window.beeps == 1; }, 5000)) << c.item;
        EXPECT_EQ(procStep(), 0);
        if (c.t1 != -1) {
            EXPECT_EQ(console.Value(kBpfT1), c.t1);
        }
        if (c.t2 != -1) {
            EXPECT_EQ(console.Value(kBpfT2), c.t2);
        }
        tickUntil([&] { return state() == 19 && !anyChanged(); });
        EXPECT_EQ(static_cast<int8_t>(radio.imageByte(68)), console.Value(kBpfT1));
        EXPECT_EQ(static_cast<int8_t>(radio.imageByte(69)), console.Value(kBpfT2));
    }
    // Both filters: from minus the low-supply reading, in steps of 2 (the cycle's own send of
    // the changed item repeats a point now and then).
    std::vector<int> t1;
    for (const auto& a : adjustments) {
        const int v = a.second > 127 ? a.second - 256 : a.second;  // a signed D/A byte
        if (a.first == 12 && (t1.empty() || t1.back() != v)) t1.push_back(v);
    }
    ASSERT_GT(t1.size(), 10u);
    const int offset = Access::lastMon(rig)[2];
    EXPECT_EQ(t1[0], 0);  // both filters are first set to 0
    EXPECT_EQ(t1[1], -offset);
    EXPECT_EQ(t1[2] - t1[1], 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Flow, RssiLevelsAreStoredOnEachEnter) {
    ASSERT_TRUE(connect());
    // No item of the table carries the RSSI events; the handler is driven directly.
    int16_t index = kTxf;
    rig.ConsEv_Enter(console, index, 1, 0);
    ASSERT_EQ(procStep(), 6);
    for (int i = 0; i < 10; ++i)
        tick();
    EXPECT_EQ(adjustmentsOf(19), 0);  // nothing is stored until the technician confirms

    rig.ConsEv_Enter(console, index, 1, 0);
    ASSERT_TRUE(tickUntil([&] { return adjustmentsOf(19) == 1; }, 50));
    const int s3 = radio.imageByte(87);
    EXPECT_EQ(s3, Access::lastMon(rig)[3]);
    EXPECT_EQ(core.radio.eepImage.ReadByte(87), s3);
    // The S1 phase starts by forgetting any earlier Enter: confirm once it is reading.
    ASSERT_TRUE(tickUntil([&] { return Access::rssiS1Phase(rig) && procStep() != 6; }, 50));

    radio.temperature(10.0);  // the reading does not depend on it; the level stays the same
    rig.ConsEv_Enter(console, index, 1, 0);
    ASSERT_TRUE(tickUntil([&] { return window.beeps == 1; }, 50));
    EXPECT_EQ(adjustmentsOf(18), 1);
    EXPECT_EQ(radio.imageByte(86), Access::lastMon(rig)[3]);
    EXPECT_EQ(procStep(), 0);
    EXPECT_EQ(window.console.List(kChNo).substr(0, 12), "    CH No.: ");  // left alone
}

TEST_F(Flow, AProcedureThatThrowsMakesOneMessageThenAllIsIdle) {
    ASSERT_TRUE(connect());
    // Constants no crystal has (the constants file refuses them) make the table overflow.
    Access::txfCoefs(rig).fill(3e38f);
    enter(kTxf);
    ASSERT_TRUE(tickUntil([&] { return procStep() == 3 || procStep() == 5; }));
    enter(kTxf);
    ASSERT_TRUE(tickUntil([&] { return Access::txfSecondPhase(rig); }));
    ASSERT_TRUE(tickUntil([&] { return procStep() == 3 || procStep() == 5; }));
    console.Value(kTxf, 200);
    for (int i = 0; i < 20; ++i)
        tick();  // the live writes of the new setting
    const std::size_t before = adjustments.size();
    enter(kTxf);
    for (int i = 0; i < 100; ++i)
        tick();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Run-time error: ", 0), 0u) << messages[0];
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(procStep(), 0);
    EXPECT_FALSE(core.seq.OpRunning());
    EXPECT_FALSE(core.com.comOpen());
    // Nothing of the table went out.
    for (std::size_t i = before; i < adjustments.size(); ++i) {
        EXPECT_FALSE(adjustments[i].first >= 0x14 && adjustments[i].first <= 0x3B) << i;
    }

    Access::txfCoefs(rig).fill(0.0f);
    EXPECT_TRUE(connect());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Flow, TicksBehindAModalMessageAreHarmless) {
    ASSERT_TRUE(connect());
    nestedTicks = 10;  // the desktop's box runs its own event loop
    radio.fault(velka::Fault::Silent, true);
    rig.RigOpFunc_ClickCmd00(1);
    tickUntil([&] { return !messages.empty(); }, 400);
    for (int i = 0; i < 5; ++i)
        tick();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(state(), 0);
    EXPECT_FALSE(core.seq.OpRunning());
    EXPECT_FALSE(core.com.comOpen());

    radio.fault(velka::Fault::Silent, false);
    EXPECT_TRUE(connect());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Flow, ChannelItemSelectsProgrammedChannels) {
    ASSERT_TRUE(connect());
    const int16_t count = static_cast<int16_t>(console.Max(kChNo) + 1);
    EXPECT_GE(count, 2);
    adjustments.clear();
    console.UpDown(kChNo, +1);
    tickUntil([&] { return !adjustments.empty(); }, 10);
    ASSERT_EQ(adjustments.size(), 1u);
    EXPECT_EQ(adjustments[0].first, 0);
    EXPECT_EQ(radio.channel(), Access::chList(rig)[1]);
    EXPECT_EQ(console.Value(kChNo), 1);
    EXPECT_EQ(window.console.List(kChNo).substr(0, 14),
              "    CH No.: 0" + std::to_string(radio.channel() + 1));
}

}  // namespace
}  // namespace calvex
