#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace calvex {

// The Velka's memory as the program knows it: the size of its EEPROM, its identity, where its
// data lives and the adjustment commands that change it. Every number of the radio's memory map
// is written here once; the rest of the program names them.
struct VelkaMemory {
    // The whole EEPROM image, addresses 0..kImageSize - 1.
    static constexpr int32_t kImageSize = 1664;
    static constexpr int32_t kLastAddress = kImageSize - 1;

    // The identity the radio reports: model code and the newest sub code the program knows.
    static constexpr std::string_view kModelCode = "2601";
    static constexpr std::string_view kSubCode = "0100";
    // The one range a clone write sends: the whole image.
    static constexpr int32_t kWriteFirst = 0;
    static constexpr int32_t kWriteLast = kLastAddress;

    // Memory-channel records: 8 programmable channels of kChannelSize bytes from kChannelBase;
    // the receive frequency block at offset 0, the transmit one at offset 4.
    static constexpr int32_t kChannelBase = 606;
    static constexpr int32_t kChannelSize = 24;
    static constexpr int16_t kProgrammableChannels = 8;
    static constexpr int32_t kRxOffset = 0;
    static constexpr int32_t kTxOffset = 4;
    // As many whole records as fit between kChannelBase and the end of the image.
    static constexpr int32_t kChannelRecords = (kImageSize - kChannelBase) / kChannelSize;
    static constexpr int32_t kChannelRecordsEnd = kChannelBase + kChannelRecords * kChannelSize;
    static constexpr int32_t ChannelRecord(int16_t ch) { return kChannelBase + kChannelSize * ch; }

    // The base frequency: two bytes, big-endian, in units of 100 kHz.
    static constexpr int32_t kBaseFreq = 92;

    // The reference oscillator's temperature table: for area i (0..19) the slant (signed) at
    // kTxfTable + 2i and the initial D/A value at kTxfTable + 2i + 1. Position k (0..39) is
    // address kTxfTable + k, set live by adjustment command kTxfFirstCommand + k.
    static constexpr int32_t kTxfTable = 216;
    static constexpr int16_t kTxfAreas = 20;
    static constexpr int16_t kTxfPositions = 2 * kTxfAreas;
    static constexpr int32_t kTxfLast = kTxfTable + kTxfPositions - 1;
    static constexpr int16_t kTxfFirstCommand = 20;
    static constexpr int32_t TxfSlant(int16_t area) { return kTxfTable + 2 * area; }
    static constexpr int32_t TxfInitial(int16_t area) { return kTxfTable + 2 * area + 1; }

    // The levels of the adjustment items (their commands are in the item table).
    static constexpr int32_t kPowerHi = 79;
    static constexpr int32_t kPowerL2 = 78;
    static constexpr int32_t kPowerL1 = 77;
    static constexpr int32_t kBalWide = 106;
    static constexpr int32_t kModWide = 72;
    static constexpr int32_t kCtcsDtcs = 76;
    static constexpr int32_t kSql = 274;
    static constexpr int32_t kBpfT1 = 68;
    static constexpr int32_t kBpfT2 = 69;

    // The narrow-band levels, which follow their wide level and ratio, and their commands.
    static constexpr int32_t kBalNarrow = 107;
    static constexpr int16_t kBalNarrowCommand = 11;
    static constexpr int32_t kModNarrow = 73;
    static constexpr int16_t kModNarrowCommand = 9;

    // The signal-detector thresholds the RSSI procedure stores, and their commands.
    static constexpr int32_t kRssiS1 = 86;
    static constexpr int32_t kRssiS3 = 87;
    static constexpr int16_t kRssiS1Command = 18;
    static constexpr int16_t kRssiS3Command = 19;

    // Commands that change no memory: adjustment mode on (value 1), and a monitor reading.
    static constexpr int16_t kAdjustModeCommand = 2;
    static constexpr int16_t kReadingCommand = 3;

    // A single-byte parameter of the parameter dump: its label as the dump writes it (leading
    // blanks and the colon included), its address and whether it holds a two's-complement
    // value.
    struct ParaByte {
        const char* label;
        int32_t adr;
        bool isSigned;
    };
    // The 46 parameter lines of the dump, in its order; the base frequency follows them.
    static constexpr std::array<ParaByte, 46> kParaBytes = {{
        {"                POW HI Level: ", kPowerHi, false},
        {"                POW L2 Level: ", kPowerL2, false},
        {"                POW L1 Level: ", kPowerL1, false},
        {"                 BAL W Level: ", kBalWide, false},
        {"                 BAL N Level: ", kBalNarrow, false},
        {"                 MOD W Level: ", kModWide, false},
        {"                 MOD N Level: ", kModNarrow, false},
        {"             CTCS/DTCS Level: ", kCtcsDtcs, false},
        {"                   SQL Level: ", kSql, false},
        {"                BPF T1 Level: ", kBpfT1, true},
        {"                BPF T2 Level: ", kBpfT2, true},
        {"                   AGC Start: ", 101, false},
        {"                     AGC End: ", 102, false},
        {"                   AGC Slant: ", 103, false},
        {"       MOD Slant(Freq) Band0: ", 49, true},
        {"       MOD Slant(Freq) Band1: ", 50, true},
        {"       MOD Slant(Freq) Band2: ", 51, true},
        {"       MOD Slant(Freq) Band3: ", 52, true},
        {"       MOD Slant(Freq) Band4: ", 53, true},
        {"      Tone Slant(Freq) Band0: ", 54, true},
        {"      Tone Slant(Freq) Band1: ", 55, true},
        {"      Tone Slant(Freq) Band2: ", 56, true},
        {"      Tone Slant(Freq) Band3: ", 57, true},
        {"      Tone Slant(Freq) Band4: ", 58, true},
        {"       POW Slant(Freq) Band0: ", 59, true},
        {"       POW Slant(Freq) Band1: ", 60, true},
        {"       POW Slant(Freq) Band2: ", 61, true},
        {"       POW Slant(Freq) Band3: ", 62, true},
        {"       POW Slant(Freq) Band4: ", 63, true},
        {"       BAL Slant(Freq) Band0: ", 96, true},
        {"       BAL Slant(Freq) Band1: ", 97, true},
        {"       BAL Slant(Freq) Band2: ", 98, true},
        {"       BAL Slant(Freq) Band3: ", 99, true},
        {"       BAL Slant(Freq) Band4: ", 100, true},
        {"        MOD Slant(Temp) Area: ", 64, true},
        {"       Tone Slant(Temp) Area: ", 65, true},
        {"        SQL Slant(Temp) Area: ", 66, true},
        {"        BAL Slant(Temp) Area: ", 75, true},
        {"       CTCSS Tone Correction: ", 80, false},
        {"        DTCS Tone Correction: ", 81, false},
        {"       LTR W Tone Correction: ", 82, false},
        {"       LTR N Tone Correction: ", 83, false},
        {"            MOD W Correction: ", 84, false},
        {"            MOD N Correction: ", 85, false},
        {"            BAL W Correction: ", 104, false},
        {"            BAL N Correction: ", 105, false},
    }};
    // The RSSI thresholds as the comparison of two images names them (the dump leaves them out).
    static constexpr std::array<ParaByte, 2> kRssiBytes = {{
        {"RSSI S1 Level", kRssiS1, false},
        {"RSSI S3 Level", kRssiS3, false},
    }};
};

}  // namespace calvex
