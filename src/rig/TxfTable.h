#pragma once

#include <array>
#include <cstdint>

namespace calvex {

// Raw temperature readings at which the reference oscillator's 20 areas change (entries 0..20;
// entry 21 is unused and 0).
inline constexpr std::array<int16_t, 22> kTxfTempBorder{0,   16,  24,  32,  40,  48,  64,  80,
                                                        96,  112, 128, 144, 160, 176, 192, 208,
                                                        216, 224, 232, 240, 255, 0};

// The area 0..19 of a raw temperature reading: area i covers border i up to below border i+1.
int16_t FindTempArea(int16_t raw);

// The largest crystal deviation in ppm (either sign) the table arithmetic carries. The table's
// values stay within 255 + 25.5 * |coef| of the settings (the settings differ by 255 at most,
// so at most 25.5 D/A steps per ppm), and the offset has to fit 16 bits: 1000 ppm keeps every
// value well inside that, and lies far beyond any real crystal.
inline constexpr float kTxfCoefLimit = 1000.0f;

// The compensation table computed from the two confirmed settings.
struct TxfComputed {
    // 0..20 the D/A value at each border, 22..41 the slant of areas 0..19, 44 the predicted
    // value at the current temperature.
    std::array<float, 45> table{};
    int16_t offset = 0;
};

// firstValue: setting at the channel frequency; secondValue: 10 ppm above; coef: the crystal's
// deviation in ppm at each border; raw: the current temperature reading.
TxfComputed ComputeTxfTable(int16_t firstValue, int16_t secondValue,
                            const std::array<float, 22>& coef, int16_t raw);

// The byte written at table position k (0..39; odd k initial values clamped to 0..255, even k
// slants clamped to -128..127).
int16_t TxfPositionValue(const TxfComputed& computed, int16_t k);

// Nearest integer, ties to the even neighbour.
int32_t RoundHalfEven(double v);

}  // namespace calvex
