// The readings' times, ages and history against a sequencer whose operations finish at once,
// on a tick count the test sets: one reading per task call.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/Common.h"
#include "rig/RigVelkaFixture.h"
#include "rig/WideTickClock.h"

namespace calvex {
namespace {

using testing::FakeRigWindow;
using testing::FakeTickSource;
using testing::RigVelkaFixture;

class RigLive : public RigVelkaFixture {
  protected:
    // Connected to a radio whose every reading answers raw, the first round read.
    void connectReading(int raw) {
        radio.radioNameM("2601");
        radio.radionameS("0100");
        seq.e8Answer =
            std::string("\x26\x01\x01\x00\x03", 5) + IntToHex2(static_cast<int16_t>(raw));
        rig.RigOpFunc_ClickCmd00(0);
        rig.task();  // starts the read
        for (int i = 0; i < 20 && seq.sentReqAnswer.size() < 12; ++i)
            task();
        task();  // takes the twelfth answer
        ASSERT_EQ(seq.sentReqAnswer.size(), 12u);
        ASSERT_EQ(window.cloneErrorMessages, 0);
    }
    void task(int32_t ms = 50) {
        ticks.advance(ms);
        rig.task();
    }
};

// The twelve readings go into the history with the time they were taken and their values in
// their units; with no reading for five minutes, the history empties.
TEST_F(RigLive, HistorySamplesCarryTheirValues) {
    connectReading(170);
    const ReadingsHistory& h = rig.RigVelkaProp_ReadingsHistory();
    ASSERT_EQ(h.size(), 12u);
    for (std::size_t i = 0; i < h.size(); ++i) {
        const auto reading = static_cast<Reading>(i);
        EXPECT_EQ(h[i].reading, reading) << i;
        EXPECT_EQ(h[i].raw, 170) << i;
        EXPECT_EQ(h[i].value, ReadingValue(ReadingRowOf(reading), 170)) << i;
        if (i > 0) {
            EXPECT_GT(h[i].ms, h[i - 1].ms) << i;
        }
    }
    EXPECT_NEAR(*h[0].value, 13.33, 0.005);  // VIN
    EXPECT_NEAR(*h[2].value, 3.33, 0.005);   // LVIN
    EXPECT_NEAR(*h[6].value, 3.33, 0.005);   // REF
    EXPECT_NEAR(*h[7].value, 66.67, 0.005);  // MOD BAL, percent
    EXPECT_EQ(h[11].ms, rig.RigVelkaProp_ClockMs());

    const int64_t newest = h[11].ms;
    while (rig.RigVelkaProp_ClockMs() - newest <= ReadingsHistory::kKeepMs) {
        EXPECT_FALSE(h.empty());
        task(1000);
    }
    EXPECT_TRUE(h.empty());
}

// Ages are counted on a clock that goes on past the tick count's wraps.
class RigLiveWrap : public RigLive, public ::testing::WithParamInterface<int32_t> {};

TEST_P(RigLiveWrap, AgesSurviveTheTickCountsWrap) {
    ticks.set(GetParam());
    connectReading(170);
    // A list's values date from its oldest one.
    const int64_t readAt = *rig.RigVelkaProp_ReadAt(0);
    EXPECT_LT(readAt, *rig.RigVelkaProp_ReadAt(1));
    EXPECT_EQ(rig.RigVelkaProp_ClockMs() - readAt, 11 * 50);
    task(2500);
    EXPECT_EQ(window.lastAge(0), (FakeRigWindow::Age{0, "Read 3 s ago", false}));
    task(3000);
    EXPECT_EQ(window.lastAge(0),
              (FakeRigWindow::Age{0, "Read 6 s ago - press F5 to refresh", true}));
    EXPECT_EQ(rig.RigVelkaProp_ClockMs() - readAt, 6050);
}

INSTANTIATE_TEST_SUITE_P(Rig, RigLiveWrap, ::testing::Values(0, INT32_MAX - 1000, -1000, INT32_MIN),
                         [](const ::testing::TestParamInfo<int32_t>& p) {
                             return "From" + std::to_string(p.index);
                         });

TEST(WideTickClock, CountsOnAcrossTheWrap) {
    struct Case {
        int32_t start;
        int32_t step;
    } cases[] = {{0, 50}, {INT32_MAX - 120, 50}, {-120, 50}, {INT32_MIN, 50}, {5, 1 << 30}};
    for (const auto& c : cases) {
        FakeTickSource source(c.start);
        WideTickClock clock(source);
        EXPECT_EQ(clock.Now(), c.start);
        for (int i = 1; i <= 10; ++i) {
            source.advance(c.step);
            EXPECT_EQ(clock.Now(), int64_t{c.start} + int64_t{i} * c.step) << c.start << " " << i;
        }
        // A count that goes back is no time passed; counting goes on from there.
        const int64_t at = clock.Last();
        source.advance(-500);
        EXPECT_EQ(clock.Now(), at);
        source.advance(700);
        EXPECT_EQ(clock.Now(), at + 700);
    }
}

}  // namespace
}  // namespace calvex
