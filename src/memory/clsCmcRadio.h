#pragma once

#include <cstdint>
#include <string>

#include "memory/clsCmcEeprom.h"

namespace calvex {

// The one transceiver the program works with: its model and sub code, the address ranges a
// clone write sends, and the single EEPROM image every component shares.
class clsCmcRadio {
  public:
    clsCmcEeprom eepImage;

    const std::string& radioNameM() const { return radioNameM_; }
    void radioNameM(const std::string& code) { radioNameM_ = code; }
    const std::string& radionameS() const { return radionameS_; }
    void radionameS(const std::string& code) { radionameS_ = code; }

    void cloneWriteAdrList_Clear() { adrList_.clear(); }
    // Appends "AAAA-BBBB," with the lowest four hex digits of each address.
    void cloneWriteAdrList_Add(int32_t adr0, int32_t adr1);
    const std::string& cloneWriteAdrList() const { return adrList_; }

  private:
    std::string radioNameM_ = "0000";
    std::string radionameS_ = "0000";
    std::string adrList_;
};

}  // namespace calvex
