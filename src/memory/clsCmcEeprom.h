#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory/VelkaMemory.h"

namespace calvex {

// The program's copy of the transceiver's EEPROM: a flat byte array addressed from 0.
// Out-of-range single accesses fail quietly (reads give 0, writes report 1 and change nothing).
class clsCmcEeprom {
  public:
    static constexpr int32_t kDefaultSize = VelkaMemory::kImageSize;

    clsCmcEeprom() { eeSize(kDefaultSize); }

    int32_t eeSize() const { return eeSize_; }
    // Re-creates zeroed storage; a negative size throws std::out_of_range.
    void eeSize(int32_t size);

    int16_t ReadByte(int32_t adr) const;
    int16_t WriteByte(int32_t adr, uint8_t data);
    // 1 if bit (0..7) of the byte at adr is set, else 0.
    int16_t ReadBit(int32_t adr, int16_t bit) const;
    int16_t FillBlock(int32_t adr, uint8_t data, int32_t siz);
    int16_t WriteBlock(int32_t adr, const std::string& data);
    // siz bytes from adr. A block reaching past the storage throws std::out_of_range.
    std::string ReadBlock(int32_t adr, int32_t siz) const;

  private:
    bool IsAdrValid(int64_t adr) const { return adr >= 0 && adr < eeSize_; }

    int32_t eeSize_ = 0;
    // One byte more than the valid addresses, as the image has always been allocated.
    std::vector<uint8_t> eeData_;
};

}  // namespace calvex
