#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "memory/VelkaMemory.h"
#include "memory/clsCmcEeprom.h"

namespace calvex {

// Where the Velka keeps its data in the EEPROM image: memory-channel records, the base
// frequency and the single-byte adjustment parameters. It only reads the image.
class clsIndEep_RigVelka {
  public:
    explicit clsIndEep_RigVelka(const clsCmcEeprom& image) : image_(image) {}

    // The channel's display name, ch + 1 in decimal; ch 0..9, else std::out_of_range.
    std::string RigVelkaEep_GetChName(int16_t ch);
    // Frequencies in Hz. Meaningful only when the record's inhibit bit is clear.
    int32_t RigVelkaEep_GetChFreqTxReal(int16_t ch) const;
    int32_t RigVelkaEep_GetChFreqRxReal(int16_t ch) const;
    // 0 High, 1 Low2, 2 Low1.
    int16_t RigVelkaEep_GetChRFPower(int16_t ch) const;
    // True when the channel is narrow.
    bool RigVelkaEep_GetChMode(int16_t ch) const;
    // True when the channel is programmed; false for a negative channel.
    bool RigVelkaEep_GetChAppear(int16_t ch) const;
    // The parameter dump: 108 lines, each ending with CR LF. tempBorders holds the TXF
    // temperature borders, at least 21 entries (std::out_of_range otherwise).
    std::string RigVelkaEep_DispPara(std::span<const int16_t> tempBorders) const;

    // Four bytes from adr, big-endian. A value with the top bit set comes back as its
    // two's-complement reading; callers test the inhibit bit first.
    int32_t ReadFreqBlock(int32_t adr) const;
    bool Check_MRCH(int32_t adr) const;
    bool Check_Inh(int32_t adr) const;
    // Base frequency in Hz; std::overflow_error when it does not fit 32 bits.
    int32_t ReadBaseFreqBlock() const;
    // Appends a hex dump of the whole image.
    void RigVelkaEep_DispDebug(std::string& text) const;

    using ParaByte = VelkaMemory::ParaByte;
    // The 46 parameter lines of the dump, in its order.
    static std::span<const ParaByte> RigVelkaEep_ParaBytes() { return VelkaMemory::kParaBytes; }

  private:
    static std::string FormatUnsigned(int16_t value);
    static std::string FormatSigned(int16_t value);
    static int32_t recordAdr(int16_t ch, int32_t offset);
    // The base frequency in units of 100 kHz.
    int32_t baseFreqUnits() const;

    const clsCmcEeprom& image_;
    std::array<std::string, 10> chNames_{" ", " ", " ", " ", " ", " ", " ", " ", " ", " "};
};

}  // namespace calvex
