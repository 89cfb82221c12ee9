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

}  // namespace
}  // namespace calvex
