// The curves the filter sweep leaves: its points, its plateau and its choice, kept per filter
// until the next completed sweep.
#include "rig/SweepCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "base/Common.h"
#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;

constexpr int16_t kBpfAll = Index(VelkaItem::BpfAll);
constexpr int16_t kBpfT1 = Index(VelkaItem::BpfT1);
constexpr int16_t kBpfT2 = Index(VelkaItem::BpfT2);

constexpr int kLowSupply = 100;

// The detector: T1 has a flat top from 10 to 14, T2 a single peak at -20.
int Detector(int t1, int t2) {
    const int a = t1 >= 10 && t1 <= 14 ? 200 : 150 - std::abs(t1 - 12);
    const int b = 180 - std::abs(t2 + 20);
    return (a + b) / 2;
}

// The sweep stepped one call at a time, as the task's state 18 steps it, against a sequencer
// that finishes at once and answers each reading as the radio would at the present settings.
class Sweep : public RigVelkaFixture {
  protected:
    void start(int16_t item, int16_t eventNo) {
        int16_t index = item;
        rig.ConsEv_Enter(console, index, eventNo, console.Value(item));
        ASSERT_EQ(Access::procStep(rig), 9);
    }
    void step() {
        if (!seq.sentReqAnswer.empty()) {
            const std::string& request = seq.sentReqAnswer.back();
            const int channel = std::stoi(HexStrToByteStr(request.substr(2)), nullptr, 16);
            const int raw =
                channel == 5 ? kLowSupply : Detector(console.Value(kBpfT1), console.Value(kBpfT2));
            seq.e8Answer =
                std::string("\x26\x01\x01\x00\x03", 5) + IntToHex2(static_cast<int16_t>(raw));
        }
        Access::runProcedureStep(rig);
    }
    void runToEnd() {
        for (int i = 0; i < 5000 && Access::procStep(rig) != 0; ++i)
            step();
        ASSERT_EQ(Access::procStep(rig), 0);
    }
    // Steps until n points of the sweep have been read.
    void runPoints(std::size_t n) {
        for (int i = 0; i < 5000 && pointsRead() < n; ++i)
            step();
    }
    std::size_t pointsRead() const {
        return static_cast<std::size_t>(
            std::count(seq.sentReqAnswer.begin(), seq.sentReqAnswer.end(), "033034"));
    }
    const SweepCurves& curves() { return rig.RigVelkaProp_SweepCurves(); }
};

std::vector<SweepPoint> Points(int from, int stride, int other, bool t1) {
    std::vector<SweepPoint> points;
    for (int g = from;; g += stride) {
        const auto setting = static_cast<int16_t>(std::min(g, 127));
        const int raw = t1 ? Detector(setting, other) : Detector(other, setting);
        points.push_back({setting, static_cast<int16_t>(raw), raw * 5.0 / 255.0});
        if (g >= 127) break;
    }
    return points;
}

struct CurveCase {
    const char* name;
    int16_t item;
    int16_t eventNo;
    bool t1, t2;
    bool all;
    friend void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }
};

class SweepRecords : public Sweep, public ::testing::WithParamInterface<CurveCase> {};

TEST_P(SweepRecords, PointsPlateauAndChoice) {
    const CurveCase& c = GetParam();
    start(c.item, c.eventNo);
    runToEnd();

    // "BPF ALL" sweeps from minus the low-supply reading in steps of 2, T2 with T1 already at
    // its choice; a single filter from its minimum in steps of 1, the other one left at 0.
    const int from = c.all ? -kLowSupply : -128;
    const int stride = c.all ? 2 : 1;
    const int16_t t1Choice = 12;
    struct Expected {
        bool swept;
        std::vector<SweepPoint> points;
        int16_t firstBest, lastBest, optimum;
    } expected[2] = {
        {c.t1, Points(from, stride, 0, true), 10, 14, t1Choice},
        {c.t2, Points(from, stride, c.t1 ? t1Choice : 0, false), -20, -20, -20},
    };
    uint32_t serials = 0;
    for (int16_t f = 0; f < 2; ++f) {
        SCOPED_TRACE(f);
        const SweepCurve& curve = curves().Last(f);
        const Expected& e = expected[f];
        if (!e.swept) {
            EXPECT_EQ(curve.serial, 0u);
            EXPECT_TRUE(curve.points.empty());
            continue;
        }
        ++serials;
        EXPECT_EQ(curve.points, e.points);
        EXPECT_EQ(curve.firstBest, e.firstBest);
        EXPECT_EQ(curve.lastBest, e.lastBest);
        EXPECT_EQ(curve.optimum, e.optimum);
        EXPECT_EQ(console.Value(static_cast<int16_t>(kBpfT1 + f)), e.optimum);
        EXPECT_EQ(curve.all, c.all);
        EXPECT_GE(curve.serial, 1u);
        // Read once more at the choice: the level the filter was left at.
        const int16_t t1 = f == 0 ? e.optimum : (c.t1 ? t1Choice : 0);
        EXPECT_EQ(curve.settledRaw, Detector(t1, f == 1 ? e.optimum : 0));
    }
    EXPECT_EQ(curves().Serial(), serials);
    // The detector row ends on the level at the last choice.
    EXPECT_EQ(Access::lastMon(rig)[3], Detector(console.Value(kBpfT1), console.Value(kBpfT2)));
}

INSTANTIATE_TEST_SUITE_P(
    Bpf, SweepRecords,
    ::testing::Values(CurveCase{"T1FlatTopEndsInItsMiddle", kBpfT1, 2, true, false, false},
                      CurveCase{"T2SinglePeak", kBpfT2, 3, false, true, false},
                      CurveCase{"AllBothFilters", kBpfAll, 4, true, true, true}),
    [](const ::testing::TestParamInfo<CurveCase>& p) { return std::string(p.param.name); });

// A sweep stopped before its end (its trial values go back) leaves the last completed curves
// as they were; the next completed one replaces them.
TEST_F(Sweep, AStoppedSweepKeepsTheLastCompletedCurve) {
    start(kBpfT1, 2);
    runToEnd();
    const SweepCurve first = curves().Last(0);
    ASSERT_EQ(first.serial, 1u);

    struct Stop {
        const char* name;
        int16_t item, eventNo;
        std::size_t points;  // read before the stop
    } stops[] = {
        {"HalfwayThroughT1", kBpfT1, 2, 100},
        {"AllAfterT1WasDone", kBpfAll, 4, 120},  // T1: 115 points from -100, and one more
    };
    for (const auto& s : stops) {
        SCOPED_TRACE(s.name);
        seq.sentReqAnswer.clear();
        start(s.item, s.eventNo);
        runPoints(s.points);
        ASSERT_NE(Access::procStep(rig), 0);
        rig.RigOpFunc_ClickCmd00(1);  // F5 stops it
        EXPECT_EQ(curves().Serial(), 1u);
        EXPECT_EQ(curves().Last(0).points, first.points);
        EXPECT_EQ(curves().Last(0).serial, 1u);
        EXPECT_FALSE(curves().Last(0).all);
        EXPECT_EQ(curves().Last(1).serial, 0u);
    }

    start(kBpfT2, 3);
    runToEnd();
    EXPECT_EQ(curves().Serial(), 2u);
    EXPECT_EQ(curves().Last(1).serial, 2u);
    EXPECT_EQ(curves().Last(0).serial, 1u);
}

TEST(SweepCurves, ClearForgetsAndSaysSo) {
    SweepCurves c;
    c.Clear();
    EXPECT_EQ(c.Serial(), 0u);  // nothing to forget
    c.Begin(1, false);
    c.AddPoint(1, 5, 51);
    c.Optimum(1, 5, 5, 5);
    c.Complete();
    ASSERT_EQ(c.Serial(), 1u);
    EXPECT_EQ(c.Last(1).points, (std::vector<SweepPoint>{{5, 51, 1.0}}));
    c.Clear();
    EXPECT_EQ(c.Serial(), 2u);
    EXPECT_TRUE(c.Last(1).points.empty());
    EXPECT_THROW((void)c.Last(2), std::out_of_range);
    EXPECT_THROW(c.Begin(-1, false), std::out_of_range);
}

}  // namespace
}  // namespace calvex
