#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace calvex {

// How a raw 8-bit reading is turned into the value shown.
enum class ReadingScale { Volts20, Volts5, Percent, Celsius };

// One row of the two monitor lists: the channel asked for, its label and display pattern.
struct ReadingRow {
    int16_t channel;
    const char* label;
    ReadingScale scale;
    const char* pattern;
};

// The A/D list, headed "[A/D]": supply, temperature, low supply, signal detector.
inline constexpr std::array<ReadingRow, 4> kMonitorRows{{
    {0, "VIN  :", ReadingScale::Volts20, "##0.#0V"},
    {3, "TEMPS:", ReadingScale::Celsius, "###.#0'C"},
    {5, "LVIN :", ReadingScale::Volts5, "##0.#0V"},
    {4, "SD   :", ReadingScale::Volts5, "##0.#0V"},
}};

// The D/A list, headed "[D/A]": the adjustment outputs.
inline constexpr std::array<ReadingRow, 8> kAdjustRows{{
    {16, "BPF T1 :", ReadingScale::Volts5, "##0.#0V"},
    {17, "T2/POW :", ReadingScale::Volts5, "##0.#0V"},
    {12, "REF    :", ReadingScale::Volts5, "##0.#0V"},
    {13, "MOD BAL:", ReadingScale::Percent, "0.00%"},
    {14, "Dev    :", ReadingScale::Volts5, "##0.#0V"},
    {11, "CTCSS  :", ReadingScale::Volts5, "##0.#0V"},
    {15, "SQL Lev:", ReadingScale::Percent, "0.00%"},
    {18, "AGC    :", ReadingScale::Volts5, "##0.#0V"},
}};

// Temperature in degrees Celsius of a raw thermistor reading (NTC 47 kOhm at 25 C, B 4000 K,
// 100 kOhm to a 5 V reference); none for 0 and 255, which cannot be converted.
std::optional<double> ThermistorCelsius(int16_t raw);

// The text of a monitor row for a raw reading, e.g. "VIN  :170:AAh: 13.33V".
std::string ReadingRowText(const ReadingRow& row, int16_t raw);

// True when an adjustment answer (the frame body from its identity bytes on) is not a valid
// reading: not 7 bytes, not starting with the identity prefix, or value bytes not hex digits.
bool CheckE8Answer(const std::string& answer, const std::string& answerPrefix);

// The reading carried by a valid answer: bytes 6 and 7 as two hex digits, 0..255.
int16_t E8AnswerValue(const std::string& answer);

}  // namespace calvex
