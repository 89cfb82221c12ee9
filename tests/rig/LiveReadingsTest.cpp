#include "rig/LiveReadings.h"

#include <gtest/gtest.h>

namespace calvex {
namespace {

TEST(LiveReadings, RowTexts) {
    struct Case {
        const ReadingRow& row;
        int16_t raw;
        const char* expected;
    } cases[] = {
        {kMonitorRows[0], 170, "VIN  :170:AAh: 13.33V"},
        {kMonitorRows[0], 0, "VIN  :  0:00h:  0.00V"},
        {kMonitorRows[1], 128, "TEMPS:128:80h:  9.27'C"},
        {kMonitorRows[1], 174, "TEMPS:174:AEh: 25.21'C"},
        {kMonitorRows[1], 0, "TEMPS:  0:00h:*Error"},
        {kMonitorRows[1], 255, "TEMPS:255:FFh:*Error"},
        {kMonitorRows[2], 51, "LVIN : 51:33h:  1.00V"},
        {kAdjustRows[3], 255, "MOD BAL:255:FFh:100.00%"},
        {kAdjustRows[6], 0, "SQL Lev:  0:00h:  0.00%"},
        {kAdjustRows[7], 255, "AGC    :255:FFh:  5.00V"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadingRowText(c.row, c.raw), c.expected);
}

TEST(LiveReadings, RowChannels) {
    const int16_t monitor[] = {0, 3, 5, 4};
    const int16_t adjust[] = {16, 17, 12, 13, 14, 11, 15, 18};
    for (std::size_t i = 0; i < kMonitorRows.size(); ++i)
        EXPECT_EQ(kMonitorRows[i].channel, monitor[i]);
    for (std::size_t i = 0; i < kAdjustRows.size(); ++i)
        EXPECT_EQ(kAdjustRows[i].channel, adjust[i]);
}

TEST(LiveReadings, Thermistor) {
    EXPECT_NEAR(*ThermistorCelsius(128), 9.27, 0.005);
    EXPECT_NEAR(*ThermistorCelsius(174), 25.21, 0.005);
    EXPECT_FALSE(ThermistorCelsius(0));
    EXPECT_FALSE(ThermistorCelsius(255));
    EXPECT_GT(*ThermistorCelsius(200), *ThermistorCelsius(100));  // rises with the reading
}

TEST(LiveReadings, AnswerChecks) {
    const std::string prefix("\x26\x01\x01\x00", 4);
    struct Case {
        std::string answer;
        bool bad;
    } cases[] = {
        {prefix + "\x03"
                  "AA",
         false},
        {prefix + "\x03"
                  "0f",
         false},
        {prefix + "\x03"
                  "A",
         true},  // 6 bytes
        {prefix + "\x03"
                  "AAA",
         true},                                                 // 8 bytes
        {std::string("\x26\x01\x01\x01\x03", 5) + "AA", true},  // other identity
        {prefix + "\x03"
                  "G0",
         true},  // not hex
        {prefix + "\x03"
                  " 1",
         true},
        {"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckE8Answer(c.answer, prefix), c.bad) << c.answer;
    EXPECT_EQ(E8AnswerValue(prefix + "\x03"
                                     "AA"),
              170);
    EXPECT_EQ(E8AnswerValue(prefix + "\x03"
                                     "0f"),
              15);
}

TEST(LiveReadings, NamedReadingsFollowTheListsRows) {
    // Every reading names one row of one list, in the lists' order, and back.
    for (int16_t n = 0; n < kReadingCount; ++n) {
        const auto reading = static_cast<Reading>(n);
        const int16_t list = ListOf(reading);
        const int16_t row = RowInList(reading);
        EXPECT_EQ(ReadingOf(list, row), reading) << n;
        EXPECT_EQ(&ReadingRowOf(reading), list == 0 ? &kMonitorRows.at(row) : &kAdjustRows.at(row))
            << n;
    }
    EXPECT_EQ(ReadingOf(0, 3), Reading::Sd);
    EXPECT_EQ(ReadingOf(1, 0), Reading::BpfT1);
    EXPECT_EQ(ReadingRowOf(Reading::Agc).channel, 18);
}

TEST(LiveReadings, ValuesInTheirUnits) {
    struct Case {
        Reading reading;
        int16_t raw;
        double value;
        const char* unit;
    } cases[] = {
        {Reading::Vin, 170, 13.333, "V"},   {Reading::Lvin, 51, 1.0, "V"},
        {Reading::Sd, 255, 5.0, "V"},       {Reading::ModBal, 255, 100.0, "%"},
        {Reading::SqlLev, 51, 20.0, "%"},   {Reading::Temps, 174, 25.21, "\u00B0C"},
        {Reading::BpfT1, 128, 2.5098, "V"},
    };
    for (const auto& c : cases) {
        const ReadingRow& row = ReadingRowOf(c.reading);
        const auto value = ReadingValue(row, c.raw);
        ASSERT_TRUE(value) << c.raw;
        EXPECT_NEAR(*value, c.value, 0.005) << row.label;
        EXPECT_STREQ(ReadingUnit(row.scale), c.unit) << row.label;
    }
    EXPECT_FALSE(ReadingValue(ReadingRowOf(Reading::Temps), 0));
    EXPECT_FALSE(ReadingValue(ReadingRowOf(Reading::Temps), 255));
}

TEST(LiveReadings, AgeTexts) {
    struct Case {
        std::optional<int64_t> ageMs;
        bool live;
        const char* text;
        bool stale;
    } cases[] = {
        {std::nullopt, false, "Not read yet", false},
        {std::nullopt, true, "Not read yet", false},
        {0, false, "Read 0 s ago", false},
        {3999, false, "Read 3 s ago", false},
        {5000, false, "Read 5 s ago", false},
        {5001, false, "Read 5 s ago - press F5 to refresh", true},
        {12000, false, "Read 12 s ago - press F5 to refresh", true},
        {125000, false, "Read 2 min ago - press F5 to refresh", true},
        {7200000, false, "Read 2 h ago - press F5 to refresh", true},
        {0, true, "Live", false},
        {5000, true, "Live", false},
        // Live rounds paused (a procedure, keys): the age, never stale.
        {12000, true, "Read 12 s ago", false},
        {-20, false, "Read 0 s ago", false},
    };
    for (const auto& c : cases) {
        const ReadingsAge age = ReadingsAgeText(c.ageMs, c.live);
        EXPECT_EQ(age.text, c.text) << c.ageMs.value_or(-1) << (c.live ? " live" : "");
        EXPECT_EQ(age.stale, c.stale) << c.ageMs.value_or(-1) << (c.live ? " live" : "");
    }
}

}  // namespace
}  // namespace calvex
