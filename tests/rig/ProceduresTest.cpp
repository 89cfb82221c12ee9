// The guided procedures stepped one call at a time, as the task's state 18 steps them, against a
// sequencer whose operations finish at once and whose every reading answers the same raw value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/Common.h"
#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;

constexpr int16_t kBpfAll = Index(VelkaItem::BpfAll);
constexpr int16_t kBpfT1 = Index(VelkaItem::BpfT1);
constexpr int16_t kBpfT2 = Index(VelkaItem::BpfT2);
constexpr int16_t kTxf = Index(VelkaItem::Txf);

class Procedure : public RigVelkaFixture {
  protected:
    // Every reading from now on answers raw.
    void reading(int raw) {
        seq.e8Answer =
            std::string("\x26\x01\x01\x00\x03", 5) + IntToHex2(static_cast<int16_t>(raw));
    }
    void enter(int16_t item, int16_t eventNo) {
        int16_t index = item;
        rig.ConsEv_Enter(console, index, eventNo, console.Value(item));
    }
    bool step() { return Access::runProcedureStep(rig); }
    // Steps until the procedure is at step n (or has ended); false when it never gets there.
    bool stepTo(int16_t n) {
        for (int i = 0; i < 20; ++i) {
            if (Access::procStep(rig) == n) return true;
            if (Access::procStep(rig) == 0) return false;
            step();
        }
        return Access::procStep(rig) == n;
    }
    // The adjustment commands sent without answer since the last call: command and value byte.
    std::vector<std::pair<int, int>> sent() {
        std::vector<std::pair<int, int>> out;
        for (const auto& text : seq.sentNoAnswer) {
            out.emplace_back(std::stoi(text.substr(0, 2), nullptr, 16),
                             std::stoi(HexStrToByteStr(text.substr(2)), nullptr, 16));
        }
        seq.sentNoAnswer.clear();
        return out;
    }
    // The oscillator table in the image: initial value of area i at 217 + 2i, slant at 216 + 2i.
    void fillTxfTable() {
        for (int i = 0; i < 20; ++i) {
            radio.eepImage.WriteByte(216 + 2 * i, static_cast<uint8_t>(0x40 + i));
            radio.eepImage.WriteByte(217 + 2 * i, static_cast<uint8_t>(100 + i));
        }
    }
};

// The reference oscillator procedure, first phase: the setting starts from the stored initial
// value of the current temperature area, and while it is turned, it is written as the initial
// value (slant 0) of that area and its two neighbours.
struct LiveAreaCase {
    const char* name;
    int raw;  // temperature reading
    int area;
    int firstK, lastK;  // table positions written
};

class TxfFirstPhase : public Procedure, public ::testing::WithParamInterface<LiveAreaCase> {};

TEST_P(TxfFirstPhase, StartsFromTheAreaAndWritesItsNeighbourhood) {
    const LiveAreaCase& c = GetParam();
    fillTxfTable();
    reading(c.raw);
    enter(kTxf, 0);
    ASSERT_TRUE(stepTo(3));
    EXPECT_EQ(console.Value(kTxf), 100 + c.area);

    ASSERT_TRUE(stepTo(4));
    while (Access::procStep(rig) == 4)
        step();
    std::vector<std::pair<int, int>> expected;
    for (int k = c.firstK; k <= c.lastK; ++k)
        expected.emplace_back(20 + k, k % 2 ? 100 + c.area : 0);
    EXPECT_EQ(sent(), expected);
    for (int k = 0; k < 40; ++k) {
        const bool written = k >= c.firstK && k <= c.lastK;
        const int stored = k % 2 ? 100 + k / 2 : 0x40 + k / 2;
        EXPECT_EQ(radio.eepImage.ReadByte(216 + k),
                  written ? expected[k - c.firstK].second : stored)
            << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Txf, TxfFirstPhase,
                         ::testing::Values(LiveAreaCase{"Area0", 8, 0, 0, 3},
                                           LiveAreaCase{"Area1", 16, 1, 0, 5},
                                           LiveAreaCase{"Area10", 128, 10, 18, 23},
                                           LiveAreaCase{"Area18", 239, 18, 34, 39},
                                           LiveAreaCase{"Area19", 250, 19, 36, 39}),
                         [](const ::testing::TestParamInfo<LiveAreaCase>& p) {
                             return std::string(p.param.name);
                         });

// The second phase starts 22 steps above the kept first setting, or at 255 when the setting
// stands at 233 or more by then.
struct SecondStartCase {
    const char* name;
    int16_t first;    // the setting kept by the first Enter
    int16_t current;  // the setting when the second phase starts
    int16_t start;
};

class TxfSecondPhase : public Procedure, public ::testing::WithParamInterface<SecondStartCase> {};

TEST_P(TxfSecondPhase, StartValue) {
    const SecondStartCase& c = GetParam();
    reading(128);
    Access::procStep(rig) = 1;
    Access::txfSecondPhase(rig) = true;
    Access::txfFirstValue(rig) = c.first;
    console.Value(kTxf, c.current);
    ASSERT_TRUE(stepTo(3));
    EXPECT_EQ(console.Value(kTxf), c.start);
}

INSTANTIATE_TEST_SUITE_P(
    Txf, TxfSecondPhase,
    ::testing::Values(SecondStartCase{"FromTheKeptSetting", 100, 100, 122},
                      SecondStartCase{"NotFromTheCurrentSetting", 200, 232, 222},
                      SecondStartCase{"CeilingReached", 200, 233, 255},
                      SecondStartCase{"AboveTheCeiling", 200, 240, 255},
                      SecondStartCase{"JustBelowTheCeiling", 232, 232, 254},
                      SecondStartCase{"HighKeptSetting", 240, 240, 255}),
    [](const ::testing::TestParamInfo<SecondStartCase>& p) { return std::string(p.param.name); });

// The filter sweep with a flat response: every point reads the same, so each filter ends in the
// middle of the points it swept.
struct SweepCase {
    const char* name;
    int16_t item;
    int16_t eventNo;
    int lowSupply;
    std::vector<int> commands;  // filters swept, in order
    int from, to, stride;       // the points of each filter
};

class BpfSweep : public Procedure, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(BpfSweep, PointsAndPauses) {
    const SweepCase& c = GetParam();
    reading(c.lowSupply);
    enter(c.item, c.eventNo);
    ASSERT_EQ(Access::procStep(rig), 9);

    // Points per filter, and the pause each point's send asked for.
    std::vector<int> points[2];
    std::vector<int32_t> pauses[2];
    for (int i = 0; i < 5000 && Access::procStep(rig) != 0; ++i) {
        step();
        for (const auto& [command, value] : sent()) {
            const int f = command - 12;
            ASSERT_TRUE(f == 0 || f == 1) << command;
            points[f].push_back(static_cast<int8_t>(value));
            pauses[f].push_back(Access::waitE8Ms(rig));
        }
    }
    ASSERT_EQ(Access::procStep(rig), 0);
    EXPECT_EQ(window.beeps, 1);

    std::vector<int> expected;
    for (int g = c.from;; g += c.stride) {
        expected.push_back(std::min(g, 127));  // a step past the maximum lands on it
        if (g >= c.to) break;
    }
    // The first send of a filter keeps the item's pause; the sweep then sends without one.
    std::vector<int32_t> expectedPauses(expected.size(), 0);
    expectedPauses[0] = 200;
    for (int f = 0; f < 2; ++f) {
        const bool swept =
            std::find(c.commands.begin(), c.commands.end(), 12 + f) != c.commands.end();
        SCOPED_TRACE(f);
        EXPECT_EQ(points[f], swept ? expected : std::vector<int>{});
        EXPECT_EQ(pauses[f], swept ? expectedPauses : std::vector<int32_t>{});
        if (swept) {
            EXPECT_EQ(console.Value(static_cast<int16_t>(kBpfT1 + f)),
                      std::floor((expected.front() + expected.back()) / 2.0));
        }
        // The pauses are back once the sweep has ended.
        EXPECT_EQ(console.WaitAfterE8(static_cast<int16_t>(kBpfT1 + f)), 200);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bpf, BpfSweep,
    ::testing::Values(
        // From minus the low-supply reading (clamped to the minimum) in steps of 2, up to the
        // first point at or above 255 minus that reading.
        SweepCase{"AllStopsNearTheTop", kBpfAll, 4, 201, {12, 13}, -128, 54, 2},
        SweepCase{"AllStopsAtTheMaximum", kBpfAll, 4, 100, {12, 13}, -100, 127, 2},
        SweepCase{"OneFilterRunsToItsMaximum", kBpfT1, 2, 201, {12}, -128, 127, 1},
        SweepCase{"OtherFilter", kBpfT2, 3, 20, {13}, -128, 127, 1}),
    [](const ::testing::TestParamInfo<SweepCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
