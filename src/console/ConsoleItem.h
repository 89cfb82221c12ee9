#pragma once

#include <cstdint>
#include <string>

namespace calvex {

// One adjustment item of the console; the defaults are those of a freshly added item.
struct ConsoleItem {
    std::string Title;
    int16_t Value = 0;
    int16_t Min = 0;
    int16_t Max = 255;
    bool BarExist = false;
    // Stepping past one end continues at the other.
    bool LoopVal = false;
    // Pause in milliseconds the event sink is asked to keep after the item's command.
    int32_t WaitAfterE8 = 200;
    // Address of the item's byte in the EEPROM image; negative: none.
    int32_t EeAdr = -1;
    // The byte holds a two's-complement value.
    bool EeDataSigned = false;
    // Adjustment command carrying the value; negative: none.
    int16_t E8Command = -1;
    // Event numbers; negative: the console's standard behaviour.
    int16_t Event_Disp = -1;
    int16_t Event_Changed = -1;  // stored only; nothing raises it
    int16_t Event_SendE8 = -1;
    int16_t Event_Enter = -1;
    // Written but not yet sent.
    bool flgChanged = false;
    // Enter pressed but not yet executed.
    bool flgEnterOn = false;
};

}  // namespace calvex
