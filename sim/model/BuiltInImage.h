#pragma once

#include <cstdint>
#include <string>

namespace velka {

inline constexpr int32_t kImageSize = 1664;

// The EEPROM content the simulated radio starts with: a VHF set with seven programmed memory
// channels, factory-looking adjustment bytes and a reference oscillator table.
std::string builtInImage();

// Raw temperature readings at which the reference oscillator's 20 areas change (21 borders).
inline constexpr int kTempBorders[21] = {0,   16,  24,  32,  40,  48,  64,  80,  96,  112, 128,
                                         144, 160, 176, 192, 208, 216, 224, 232, 240, 255};

}  // namespace velka
