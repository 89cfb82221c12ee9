// Live readings against the simulated transceiver, on a clock that advances 50 ms per tick:
// rounds repeat while nothing else waits, give way to the technician at once, and the window is
// told how old the values are.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "rig/FlowBench.h"
#include "rig/LiveReadings.h"

namespace calvex {
namespace {

using testing::FakeRigWindow;
using testing::FlowBench;

constexpr int kReadingCommand = 3;
constexpr int kPowerHiCommand = 5;

// The channels of one round, in the order the task reads them.
constexpr std::array<int, 12> kRound{0, 3, 5, 4, 16, 17, 12, 13, 14, 11, 15, 18};

int RoundIndex(int channel) {
    return static_cast<int>(std::find(kRound.begin(), kRound.end(), channel) - kRound.begin());
}

class LiveFlow : public FlowBench, public ::testing::Test {
  protected:
    // Connected, the first cycle's round done, then live readings on.
    void connectLive() {
        ASSERT_TRUE(connect());
        rig.RigOpFunc_LiveReadings(true);
        adjustments.clear();
    }
    int readings(std::size_t from = 0) const {
        return static_cast<int>(
            std::count_if(adjustments.begin() + static_cast<long>(from), adjustments.end(),
                          [](const auto& a) { return a.first == kReadingCommand; }));
    }
    // Ticks until the radio has heard count more frames; false when it never does.
    bool ticksUntilHeard(std::size_t count, int maxTicks = 400) {
        const std::size_t target = adjustments.size() + count;
        return tickUntil([&] { return adjustments.size() >= target; }, maxTicks);
    }
};

// With the option on, the rounds follow one another with nothing but readings on the line:
// each round as fast as an F5 round, one round a period; with the option off again, they stop.
TEST_F(LiveFlow, RoundsRepeatAtTheReloadPaceAndStopWhenOff) {
    ASSERT_TRUE(connect());
    // An F5 round, from the click to the cycle's end, as the pace to keep.
    adjustments.clear();
    const int clicked = ticks;
    rig.RigOpFunc_ClickCmd00(1);
    ASSERT_TRUE(tickUntil([&] { return readings() == 12 && state() == 19; }));
    const int reloadTicks = ticks - clicked;

    rig.RigOpFunc_LiveReadings(true);
    ASSERT_TRUE(rig.RigVelkaProp_LiveReadings());
    adjustments.clear();
    std::vector<int> heardAt;  // the tick of each frame
    ASSERT_TRUE(tickUntil(
        [&] {
            while (heardAt.size() < adjustments.size())
                heardAt.push_back(ticks);
            return adjustments.size() >= 5 * 12;
        },
        1000));
    for (std::size_t i = 0; i < adjustments.size(); ++i) {
        ASSERT_EQ(adjustments[i].first, kReadingCommand) << i;
        EXPECT_EQ(adjustments[i].second, kRound[i % 12]) << i;
    }
    constexpr int kPeriodTicks = clsIndOp_RigVelka::kLiveRoundPeriodMs / 50;
    for (std::size_t r = 0; r < 5; ++r) {
        const int first = heardAt[r * 12];
        const int last = heardAt[r * 12 + 11];
        EXPECT_EQ(last - first, 11) << "round " << r;  // a reading a tick
        EXPECT_LE(last - first + 1, reloadTicks) << "round " << r;
        if (r > 0) {
            EXPECT_EQ(first - heardAt[(r - 1) * 12], kPeriodTicks) << "round " << r;
        }
    }

    rig.RigOpFunc_LiveReadings(false);
    ASSERT_TRUE(tickUntil([&] { return state() == 19; }, 50));
    const int before = readings();
    for (int i = 0; i < 40; ++i)
        tick();
    EXPECT_EQ(readings(), before);
    EXPECT_TRUE(messages.empty());
}

// A key pressed at any moment of the rounds goes out as soon as the reading already on the line
// has been answered: no reading is asked for after the key before the key's frame, and the key
// is sent in the tick that takes that answer. The round then resumes with the next reading.
TEST_F(LiveFlow, AKeyWaitsOneReadingAtMostAndTheRoundResumes) {
    connectLive();
    int lastHeard = -1;
    onHeard = [&](const std::string& frame) { lastHeard = testing::CommandOf(frame); };
    int inFlight = 0;
    for (int offset = 0; offset < 26; ++offset) {
        SCOPED_TRACE(offset);
        for (int i = 0; i < offset; ++i)
            tick();
        const std::size_t pressed = adjustments.size();
        const int pressedAt = ticks;
        const bool answerAwaited = core.seq.OpRunning();
        inFlight += answerAwaited;
        // A round's identification (its answer is four times a reading's) takes a tick more.
        const int exchangeTicks = answerAwaited && lastHeard == 0xE0 ? 2 : 1;
        const int16_t before = console.Value(kPowerHi);
        console.UpDown(kPowerHi, offset % 2 == 0 ? 1 : -1);
        ASSERT_TRUE(tickUntil([&] { return adjustmentsOf(kPowerHiCommand) > 0; }, 100));
        EXPECT_LE(ticks - pressedAt, exchangeTicks);
        ASSERT_EQ(adjustments.size(), pressed + 1);
        EXPECT_EQ(adjustments.back(),
                  std::make_pair(kPowerHiCommand, int{console.Value(kPowerHi)}));
        EXPECT_NE(console.Value(kPowerHi), before);

        // The last reading before the key, then the first after it: the next of the round.
        int last = -1;
        for (const auto& a : adjustments)
            if (a.first == kReadingCommand) last = a.second;
        ASSERT_TRUE(ticksUntilHeard(1));
        ASSERT_EQ(adjustments.back().first, kReadingCommand);
        if (last >= 0) {
            EXPECT_EQ(RoundIndex(adjustments.back().second), (RoundIndex(last) + 1) % 12);
        }
        adjustments.clear();
    }
    // Most keys came while a reading was on the line.
    EXPECT_GT(inFlight, 13);
    EXPECT_TRUE(messages.empty());
}

// What the technician starts takes the line before the next reading: an Enter that starts a
// procedure, the parameter dump. An Enter on an item without an action starts nothing and
// holds nothing up.
TEST_F(LiveFlow, ProceduresAndTheDumpComeFirst) {
    struct Case {
        const char* name;
        std::function<void(FlowBench&)> act;
        std::function<bool(FlowBench&)> started;
    } cases[] = {
        {"FilterSweep", [](FlowBench& b) { b.enter(kBpfT1); },
         [](FlowBench& b) { return b.procStep() != 0; }},
        {"OscillatorProcedure", [](FlowBench& b) { b.enter(kTxf); },
         [](FlowBench& b) { return b.procStep() != 0; }},
        {"DispPara", [](FlowBench& b) { b.rig.RigOpFunc_ClickCmd00(2); },
         [](FlowBench& b) { return b.state() == 20; }},
    };
    connectLive();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ticksUntilHeard(5));  // amid a round
        const std::size_t pressed = adjustments.size();
        c.act(*this);
        ASSERT_TRUE(tickUntil([&] { return c.started(*this); }, 100));
        EXPECT_LE(readings(pressed), 1);
        // While it runs, the only readings are its own (temperature, low supply, detector).
        const std::size_t running = adjustments.size();
        for (int i = 0; i < 20; ++i)
            tick();
        for (std::size_t i = running; i < adjustments.size(); ++i) {
            if (adjustments[i].first != kReadingCommand) continue;
            EXPECT_TRUE(adjustments[i].second == 3 || adjustments[i].second == 4 ||
                        adjustments[i].second == 5)
                << adjustments[i].second;
        }
        // Stop it; F5 reads a whole round, then the live rounds go on.
        const bool dump = state() == 20;
        rig.RigOpFunc_ClickCmd00(dump ? 2 : 1);
        ASSERT_TRUE(tickUntil([&] {
            return !rig.RigVelkaProp_PuttingBack() && procStep() == 0 && state() != 20 &&
                   !Access::reloadRequest(rig);
        }));
        if (!dump) {
            ASSERT_TRUE(ticksUntilHeard(12));
        }
    }
    // Enter on " Power(Hi)" stays pending for ever; the rounds carry on.
    enter(kPowerHi);
    const std::size_t from = adjustments.size();
    for (int i = 0; i < 40; ++i)
        tick();
    EXPECT_GE(readings(from), 24);
    // The only words are those on the stopped procedures' values, put back.
    for (const auto& m : messages)
        EXPECT_NE(m.find("The values it tried have been put back"), std::string::npos) << m;
}

// F5 is a whole round whatever comes during it: the key waits for its last reading.
TEST_F(LiveFlow, AnF5RoundIsNeverCutShort) {
    connectLive();
    rig.RigOpFunc_LiveReadings(false);
    ASSERT_TRUE(tickUntil([&] { return state() == 19; }, 50));
    rig.RigOpFunc_LiveReadings(true);  // on again, an F5 round asked for at the same time
    rig.RigOpFunc_ClickCmd00(1);
    adjustments.clear();
    ASSERT_TRUE(ticksUntilHeard(2));  // two readings of the F5 round
    console.UpDown(kPowerHi, 1);
    ASSERT_TRUE(tickUntil([&] { return adjustmentsOf(kPowerHiCommand) == 1; }, 100));
    ASSERT_GE(adjustments.size(), 13u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(adjustments[i].first, kReadingCommand) << i;
        EXPECT_EQ(adjustments[i].second, kRound[i]) << i;
    }
    EXPECT_EQ(adjustments[12].first, kPowerHiCommand);
}

// How old the values are, as the window is told: fresh after a round, stale after five seconds
// with live readings off, and never stale while live rounds go on. The window hears each change
// once, and nothing else.
TEST_F(LiveFlow, TheWindowIsToldTheAgeOfTheValues) {
    // Before anything has been read.
    tick();
    for (int16_t list = 0; list < 2; ++list)
        EXPECT_EQ(window.lastAge(list), (FakeRigWindow::Age{list, "Not read yet", false}));
    EXPECT_FALSE(rig.RigVelkaProp_ReadAt(0));

    ASSERT_TRUE(connect());
    rig.RigOpFunc_ClickCmd00(1);
    ASSERT_TRUE(tickUntil([&] { return !Access::reloadRequest(rig) && state() == 19; }));
    for (int16_t list = 0; list < 2; ++list) {
        EXPECT_EQ(window.lastAge(list), (FakeRigWindow::Age{list, "Read 0 s ago", false}));
        ASSERT_TRUE(rig.RigVelkaProp_ReadAt(list));
        EXPECT_LT(rig.RigVelkaProp_ClockMs() - *rig.RigVelkaProp_ReadAt(list), 1000);
    }
    // Off: old values are doubted past five seconds, and F5 is named.
    window.ages.clear();
    const int64_t readAt = *rig.RigVelkaProp_ReadAt(1);
    ASSERT_TRUE(tickUntil([&] { return rig.RigVelkaProp_ClockMs() - readAt >= 7000; }));
    std::vector<FakeRigWindow::Age> told;
    for (const auto& a : window.ages)
        if (a.list == 1) told.push_back(a);
    const std::vector<FakeRigWindow::Age> expected = {
        {1, "Read 1 s ago", false},
        {1, "Read 2 s ago", false},
        {1, "Read 3 s ago", false},
        {1, "Read 4 s ago", false},
        {1, "Read 5 s ago", false},
        {1, "Read 5 s ago - press F5 to refresh", true},
        {1, "Read 6 s ago - press F5 to refresh", true},
        {1, "Read 7 s ago - press F5 to refresh", true},
    };
    EXPECT_EQ(told, expected);
    EXPECT_TRUE(window.lastAge(0).stale);

    // F5 makes them fresh again.
    rig.RigOpFunc_ClickCmd00(1);
    ASSERT_TRUE(tickUntil([&] { return !Access::reloadRequest(rig) && state() == 19; }));
    EXPECT_EQ(window.lastAge(1), (FakeRigWindow::Age{1, "Read 0 s ago", false}));

    // Live: never stale while the rounds go on, for a minute.
    window.ages.clear();
    rig.RigOpFunc_LiveReadings(true);
    for (int i = 0; i < 1200; ++i) {
        tick();
        ASSERT_FALSE(window.lastAge(0).stale || window.lastAge(1).stale) << i;
    }
    EXPECT_EQ(window.ages,
              (std::vector<FakeRigWindow::Age>{{0, "Live", false}, {1, "Live", false}}));

    // Keys for eight seconds hold the rounds back: "Live" up to five seconds, then the age,
    // never stale, and "Live" again once the rounds are back.
    window.ages.clear();
    for (int i = 0; i < 160; ++i) {
        console.UpDown(kPowerHi, i % 2 == 0 ? 1 : -1);
        tick();
        ASSERT_FALSE(window.lastAge(0).stale || window.lastAge(1).stale) << i;
    }
    for (int i = 0; i < 40; ++i)
        tick();
    std::vector<std::string> told0;
    for (const auto& a : window.ages)
        if (a.list == 0) told0.push_back(a.text);
    // Second by second from five, until the first round after the keys has read the list.
    ASSERT_GE(told0.size(), 5u);
    EXPECT_EQ(told0.back(), "Live");
    for (std::size_t k = 0; k + 1 < told0.size(); ++k)
        EXPECT_EQ(told0[k], "Read " + std::to_string(5 + k) + " s ago") << k;
    EXPECT_LE(told0.size(), 6u);
    EXPECT_TRUE(messages.empty());
}

// Every reading taken goes into the history with its time and its value in its unit, and the
// history keeps five minutes.
TEST_F(LiveFlow, TheHistoryHoldsTheLastFiveMinutesOfReadings) {
    connectLive();
    const ReadingsHistory& history = rig.RigVelkaProp_ReadingsHistory();
    ASSERT_TRUE(tickUntil([&] { return history.size() >= 36; }));
    const ReadingSample& newest = history[history.size() - 1];
    const int newestRaw = radio.reading(ReadingRowOf(newest.reading).channel, 0);
    EXPECT_EQ(newest.raw, newestRaw);
    EXPECT_LE(rig.RigVelkaProp_ClockMs() - newest.ms, 100);
    // The supply, 13.8 V.
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (history[i].reading != Reading::Vin) continue;
        EXPECT_NEAR(*history[i].value, history[i].raw * 20.0 / 255.0, 1e-9);
        EXPECT_NEAR(*history[i].value, 13.8, 0.05);
    }

    // Six minutes of rounds: the oldest sample is five minutes old at most.
    for (int i = 0; i < 6 * 60 * 20; ++i)
        tick();
    ASSERT_FALSE(history.empty());
    EXPECT_LE(rig.RigVelkaProp_ClockMs() - history[0].ms, ReadingsHistory::kKeepMs);
    EXPECT_GE(rig.RigVelkaProp_ClockMs() - history[0].ms, ReadingsHistory::kKeepMs - 1000);
    for (std::size_t i = 1; i < history.size(); ++i)
        ASSERT_LE(history[i - 1].ms, history[i].ms);
    EXPECT_TRUE(messages.empty());
}

// After a filter sweep the detector is read once more, after the chosen setting has gone out:
// the detector row and the curve show the level the filter was left at.
TEST_F(LiveFlow, TheDetectorIsReadAgainAtTheChosenSetting) {
    ASSERT_TRUE(connect());
    struct Case {
        int16_t item;
        int command;
    } cases[] = {{kBpfT1, 12}, {kBpfAll, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        adjustments.clear();
        window.beeps = 0;
        const uint32_t serial = rig.RigVelkaProp_SweepCurves().Serial();
        enter(c.item);
        ASSERT_TRUE(tickUntil([&] { return window.beeps == 1; }, 5000));
        // The last setting sent is the choice, and the next frame reads the detector.
        const auto choice = std::find_if(adjustments.rbegin(), adjustments.rend(),
                                         [&](const auto& a) { return a.first == c.command; });
        ASSERT_NE(choice, adjustments.rend());
        ASSERT_NE(choice, adjustments.rbegin());
        const auto after = std::prev(choice);
        EXPECT_EQ(after->first, kReadingCommand);
        EXPECT_EQ(after->second, 4);

        const auto f = static_cast<int16_t>(c.command - 12);
        const SweepCurve& curve = rig.RigVelkaProp_SweepCurves().Last(f);
        EXPECT_GT(rig.RigVelkaProp_SweepCurves().Serial(), serial);
        EXPECT_EQ(static_cast<int8_t>(choice->second), curve.optimum);
        const int level = radio.reading(4, 0);
        EXPECT_EQ(curve.settledRaw, level);
        EXPECT_EQ(Access::lastMon(rig)[3], level);
        EXPECT_EQ(window.monitors[0].List(4),
                  ReadingRowText(kMonitorRows[3], static_cast<int16_t>(level)));
        // One detector reading per point, and this one more.
        int detector = 0;
        for (const auto& a : adjustments)
            detector += a.first == kReadingCommand && a.second == 4;
        const SweepCurve& other = rig.RigVelkaProp_SweepCurves().Last(static_cast<int16_t>(1 - f));
        const bool both = c.item == kBpfAll;
        EXPECT_EQ(detector,
                  static_cast<int>(curve.points.size() + 1 + (both ? other.points.size() + 1 : 0)));
    }
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace calvex
