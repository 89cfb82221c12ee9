#include "rig/ReadingsHistory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace calvex {
namespace {

std::vector<int64_t> Times(const ReadingsHistory& h) {
    std::vector<int64_t> t;
    for (std::size_t i = 0; i < h.size(); ++i)
        t.push_back(h[i].ms);
    return t;
}

ReadingSample At(int64_t ms) {
    return {ms, Reading::Vin, 170, 13.33};
}

// Bounded by age (before the newest time seen) and by count, oldest first, whatever the order
// in which the two bounds bite.
TEST(ReadingsHistory, KeepsTheLastMinutesAndNoMoreThanItsCount) {
    struct Case {
        const char* name;
        std::size_t max;
        int64_t keepMs;
        std::vector<int64_t> added;
        int64_t dropAt;  // a later look at the time without a reading; -1 none
        std::vector<int64_t> kept;
    } cases[] = {
        {"AllYoungEnough", 8, 1000, {0, 500, 1000}, -1, {0, 500, 1000}},
        {"OlderThanTheWindowGo", 8, 1000, {0, 500, 1001, 1600}, -1, {1001, 1600}},
        {"CountBitesFirst", 3, 1000, {0, 100, 200, 300, 400}, -1, {200, 300, 400}},
        {"TimePassingAlone", 8, 1000, {0, 500, 900}, 1600, {900}},
        {"AllGoWithTime", 8, 1000, {0, 500}, 5000, {}},
        {"RingWrapsManyTimes", 3, 100000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, -1, {8, 9, 10}},
        // The ring grows (up to its count) while its oldest sample is not at its start.
        {"GrowsWhileWrapped", 8, 100, {0, 10, 20, 105, 106, 107}, -1, {10, 20, 105, 106, 107}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadingsHistory h(c.max, c.keepMs);
        for (int64_t t : c.added)
            h.Add(At(t));
        if (c.dropAt >= 0) h.DropOlderThanKeep(c.dropAt);
        EXPECT_EQ(Times(h), c.kept);
    }
}

TEST(ReadingsHistory, SerialChangesWithEveryChange) {
    ReadingsHistory h(4, 1000);
    const uint64_t s0 = h.Serial();
    h.Add(At(0));
    const uint64_t s1 = h.Serial();
    EXPECT_NE(s1, s0);
    h.DropOlderThanKeep(500);  // nothing to drop
    EXPECT_EQ(h.Serial(), s1);
    h.DropOlderThanKeep(2000);
    EXPECT_TRUE(h.empty());
    EXPECT_NE(h.Serial(), s1);
    h.Add(At(2000));
    const uint64_t s2 = h.Serial();
    h.Clear();
    EXPECT_NE(h.Serial(), s2);
    EXPECT_THROW((void)h[0], std::out_of_range);
}

// The defaults: five minutes, and room for them at a hundred readings a second, faster than a
// cable at 9600 baud can carry them.
TEST(ReadingsHistory, DefaultsHoldFiveMinutesOfReadings) {
    EXPECT_EQ(ReadingsHistory::kKeepMs, 300000);
    ReadingsHistory h;
    for (int64_t t = 0; t <= 600000; t += 10)
        h.Add(At(t));
    EXPECT_EQ(h.size(), 300000u / 10 + 1);
    EXPECT_EQ(h[0].ms, 300000);
    EXPECT_EQ(h[h.size() - 1].ms, 600000);
}

}  // namespace
}  // namespace calvex
