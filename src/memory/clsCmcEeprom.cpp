#include "memory/clsCmcEeprom.h"

#include <algorithm>
#include <stdexcept>

namespace calvex {

void clsCmcEeprom::eeSize(int32_t size) {
    if (size < 0) throw std::out_of_range("EEPROM size must not be negative");
    eeData_.assign(static_cast<std::size_t>(size) + 1, 0);
    eeSize_ = size;
}

int16_t clsCmcEeprom::ReadByte(int32_t adr) const {
    return IsAdrValid(adr) ? static_cast<int16_t>(eeData_[static_cast<std::size_t>(adr)]) : 0;
}

int16_t clsCmcEeprom::WriteByte(int32_t adr, uint8_t data) {
    if (!IsAdrValid(adr)) return 1;
    eeData_[static_cast<std::size_t>(adr)] = data;
    return 0;
}

int16_t clsCmcEeprom::ReadBit(int32_t adr, int16_t bit) const {
    if (!IsAdrValid(adr) || bit < 0 || bit > 7) return 0;
    return (eeData_[static_cast<std::size_t>(adr)] >> bit) & 1;
}

int16_t clsCmcEeprom::FillBlock(int32_t adr, uint8_t data, int32_t siz) {
    // The end checked is one past the last byte filled, as the image always has.
    if (!IsAdrValid(adr) || !IsAdrValid(int64_t{adr} + siz)) return 1;
    if (siz > 0) {
        std::fill_n(eeData_.begin() + adr, siz, data);
    }
    return 0;
}

int16_t clsCmcEeprom::WriteBlock(int32_t adr, const std::string& data) {
    const auto n = static_cast<int64_t>(data.size());
    if (!IsAdrValid(adr) || !IsAdrValid(int64_t{adr} + n - 1)) return 1;
    std::copy(data.begin(), data.end(), eeData_.begin() + adr);
    return 0;
}

std::string clsCmcEeprom::ReadBlock(int32_t adr, int32_t siz) const {
    if (siz <= 0) return {};
    if (adr < 0 || int64_t{adr} + siz > static_cast<int64_t>(eeData_.size())) {
        throw std::out_of_range("EEPROM block outside the image");
    }
    return {eeData_.begin() + adr, eeData_.begin() + adr + siz};
}

}  // namespace calvex
