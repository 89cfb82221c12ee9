#include "model/BuiltInImage.h"

#include <algorithm>
#include <cmath>

namespace velka {

namespace {

void put(std::string& img, int adr, int value) {
    img[static_cast<size_t>(adr)] = static_cast<char>(static_cast<uint8_t>(value & 0xFF));
}

void put32(std::string& img, int adr, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        put(img, adr + i, static_cast<int>((value >> (24 - 8 * i)) & 0xFF));
    }
}

struct Channel {
    uint32_t rxHz;
    uint32_t txHz;  // 0 means TX inhibited
    int power;      // record byte 12: 3 High, 2 Low2, 0 Low1
    bool narrow;
};

}  // namespace

std::string builtInImage() {
    // Erased EEPROM reads FF; everything the radio uses is written below.
    std::string img(static_cast<size_t>(kImageSize), '\xFF');
    std::fill(img.begin(), img.begin() + 606, '\0');

    // Frequency, tone and power slants over the five bands (signed).
    const int slants[] = {3, 1, 0, -2, -4,   // MOD
                          2, 1, 0, -1, -2,   // tone
                          5, 2, 0, -3, -6};  // power
    for (int i = 0; i < 15; ++i) {
        put(img, 49 + i, slants[i]);
    }
    put(img, 64, -3);   // MOD temperature slant
    put(img, 65, -2);   // tone temperature slant
    put(img, 66, 4);    // SQL temperature slant
    put(img, 68, 10);   // BPF T1, a little off the filter's best point
    put(img, 69, -24);  // BPF T2
    put(img, 72, 140);  // MOD W
    put(img, 73, 70);   // MOD N
    put(img, 75, 2);    // BAL temperature slant
    put(img, 76, 80);   // CTCS/DTCS level
    put(img, 77, 56);   // power L1
    put(img, 78, 120);  // power L2
    put(img, 79, 210);  // power Hi
    const int corrections[] = {0x80, 0x7C, 0x82, 0x7E, 0x80, 0x81};  // tone and MOD corrections
    for (int i = 0; i < 6; ++i) {
        put(img, 80 + i, corrections[i]);
    }
    put(img, 86, 72);    // RSSI S1
    put(img, 87, 140);   // RSSI S3
    put(img, 92, 0x05);  // base frequency 136.0 MHz in 100 kHz units
    put(img, 93, 0x50);
    const int balSlants[] = {1, 0, 0, -1, -2};
    for (int i = 0; i < 5; ++i) {
        put(img, 96 + i, balSlants[i]);
    }
    put(img, 101, 0x40);  // AGC start
    put(img, 102, 0xC0);  // AGC end
    put(img, 103, 0x18);  // AGC slant
    put(img, 104, 0x80);  // BAL W correction
    put(img, 105, 0x7F);  // BAL N correction
    put(img, 106, 150);   // BAL W
    put(img, 107, 75);    // BAL N
    put(img, 274, 90);    // SQL

    // Reference oscillator: an AT-cut crystal's cubic drift, compensated per area.
    int initial[21];
    for (int i = 0; i <= 20; ++i) {
        const double x = (kTempBorders[i] - 128.0) / 128.0;
        initial[i] = static_cast<int>(std::lround(128.0 + 30.0 * x * x * x - 8.0 * x));
    }
    for (int i = 0; i < 20; ++i) {
        const double slant =
            (initial[i + 1] - initial[i]) * 32.0 / (kTempBorders[i + 1] - kTempBorders[i]);
        put(img, 216 + 2 * i, std::clamp(static_cast<int>(std::lround(slant)), -128, 127));
        put(img, 217 + 2 * i, initial[i]);
    }

    // Memory channels 0..7, 24 bytes each from 606; channel 4 is left empty.
    const Channel channels[8] = {
        {146520000, 146520000, 3, false},
        {150100000, 150700000, 2, true},
        {154570000, 154570000, 0, true},
        {155475000, 0, 3, false},
        {0, 0, 0, false},
        {158805000, 158805000, 2, false},
        {162550000, 163250000, 0, true},
        {173225000, 173225000, 3, true},
    };
    for (int ch = 0; ch < 8; ++ch) {
        const int rec = 606 + 24 * ch;
        const Channel& c = channels[ch];
        std::fill(img.begin() + rec, img.begin() + rec + 24, '\0');
        if (c.rxHz == 0) {
            continue;
        }
        put32(img, rec, c.rxHz);
        put32(img, rec + 4, c.txHz == 0 ? 0x80000000u : c.txHz);
        put(img, rec + 12, c.power);
        put(img, rec + 15, c.narrow ? 0x80 : 0x00);
    }
    return img;
}

}  // namespace velka
