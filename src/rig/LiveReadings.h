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

// The twelve readings by name, in the lists' order: the four of "[A/D]", then the eight of
// "[D/A]".
enum class Reading : int16_t {
    Vin,
    Temps,
    Lvin,
    Sd,
    BpfT1,
    T2Pow,
    Ref,
    ModBal,
    Dev,
    Ctcss,
    SqlLev,
    Agc,
};

inline constexpr int16_t kReadingCount = 12;

// The list (0 "[A/D]", 1 "[D/A]") a reading is shown in, and its row there (from 0, below the
// heading).
constexpr int16_t ListOf(Reading reading) {
    return static_cast<int16_t>(reading) < static_cast<int16_t>(kMonitorRows.size()) ? 0 : 1;
}
constexpr int16_t RowInList(Reading reading) {
    const auto n = static_cast<int16_t>(reading);
    return ListOf(reading) == 0 ? n : static_cast<int16_t>(n - kMonitorRows.size());
}
constexpr Reading ReadingOf(int16_t list, int16_t row) {
    return static_cast<Reading>(list == 0 ? row : row + static_cast<int16_t>(kMonitorRows.size()));
}
constexpr const ReadingRow& ReadingRowOf(Reading reading) {
    const auto row = static_cast<std::size_t>(RowInList(reading));
    return ListOf(reading) == 0 ? kMonitorRows[row] : kAdjustRows[row];
}

// The unit of a converted reading: "V", the degree Celsius or "%".
const char* ReadingUnit(ReadingScale scale);

// A raw reading converted to its unit (volts, degrees Celsius, percent); none for a temperature
// that cannot be converted.
std::optional<double> ReadingValue(const ReadingRow& row, int16_t raw);

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

// Beyond this age, with live readings off, the values of a list are old enough to be doubted.
inline constexpr int64_t kReadingsStaleMs = 5000;

// What is shown under a monitor list about the age of its values.
struct ReadingsAge {
    std::string text;
    bool stale = false;
    bool operator==(const ReadingsAge&) const = default;
};

// The age text for a list whose values were all read ageMs ago (none: not read since Connect),
// with live readings on or off: "Not read yet", "Live", "Read 3 s ago", or, when stale (live
// off and older than kReadingsStaleMs), "Read 12 s ago - press F5 to refresh". With live on,
// older values (rounds paused for a procedure or for keys) are shown by age but never stale:
// the rounds resume by themselves, and F5 would stop the procedure. The text changes at most
// once a second of age.
ReadingsAge ReadingsAgeText(std::optional<int64_t> ageMs, bool live);

}  // namespace calvex
