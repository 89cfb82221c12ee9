#include "link/clsCmcTick.h"

#include <gtest/gtest.h>

#include <chrono>

#include "link/FakeTickSource.h"

namespace calvex {
namespace {

using testing::FakeTickSource;

TEST(Tick, NewCounterReadsZero) {
    FakeTickSource clock(100);
    clsCmcTick tick(clock);
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, CountsDownAndStaysExpired) {
    FakeTickSource clock(1000);
    clsCmcTick tick(clock);
    tick.counter(1200);
    EXPECT_EQ(tick.counter(), 1200);
    clock.set(2199);
    EXPECT_EQ(tick.counter(), 1);
    clock.set(2200);
    EXPECT_EQ(tick.counter(), 0);
    clock.set(1500);  // even a clock going backwards does not revive it
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, ZeroAndNegativePeriodsExpireAtOnce) {
    FakeTickSource clock(5);
    clsCmcTick tick(clock);
    tick.counter(0);
    EXPECT_EQ(tick.counter(), 0);
    tick.counter(-10);
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, RestartReplacesRunningCountDown) {
    FakeTickSource clock(0);
    clsCmcTick tick(clock);
    tick.counter(100);
    clock.advance(90);
    tick.counter(50);
    EXPECT_EQ(tick.counter(), 50);
}

TEST(Tick, CrossesTheSignBoundary) {
    FakeTickSource clock(2147483000);  // 647 ms before the count jumps to -2147483648
    clsCmcTick tick(clock);
    tick.counter(5000);
    clock.set(-2147483000);  // 648 ms after the jump; the jump itself is not counted
    EXPECT_EQ(tick.counter(), 3705);
    clock.set(-2147483648 + 5000);
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, BackwardsWithoutWrapStopsTheCounter) {
    FakeTickSource clock(5000);
    clsCmcTick tick(clock);
    tick.counter(10000);
    clock.set(4000);
    EXPECT_EQ(tick.counter(), 0);
    clock.set(5001);
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, CrossesZeroFromNegative) {
    FakeTickSource clock(-100);
    clsCmcTick tick(clock);
    tick.counter(300);
    clock.set(100);
    EXPECT_EQ(tick.counter(), 100);
}

TEST(Tick, ElapsedBeyond31BitsIsAbandoned) {
    FakeTickSource clock(-2000000000);
    clsCmcTick tick(clock);
    tick.counter(2147483647);
    clock.set(2000000000);  // 4e9 ms later: cannot be measured, so the count-down ends
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, SystemSourceIsTheMonotonicClockInMilliseconds) {
    // Read between two readings of the monotonic clock, in milliseconds wrapped to 32 bits,
    // the source lies within them (the subtraction wraps as the tick count does).
    const auto ms = [] {
        return static_cast<uint32_t>(
            static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count()));
    };
    auto& source = systemTickSource();
    const uint32_t before = ms();
    const auto now = static_cast<uint32_t>(source.now());
    const uint32_t after = ms();
    EXPECT_LE(now - before, after - before);
}

}  // namespace
}  // namespace calvex
