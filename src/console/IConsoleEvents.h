#pragma once

#include <cstdint>
#include <string>

namespace calvex {

class clsConsole;

// The object that gives the console its model-specific behaviour. The console raises an event
// only for items whose event number is 0 or more and passes that number back unchanged; the
// index is passed by reference, as the handlers have always received it.
class IConsoleEvents {
  public:
    virtual ~IConsoleEvents() = default;
    // The complete line text of the item.
    virtual std::string ConsEv_Disp(clsConsole& console, int16_t& index, int16_t eventNo,
                                    int16_t value) = 0;
    // Sends the item in place of the console's own adjustment command (and keeps the image).
    virtual void ConsEv_SendE8(clsConsole& console, int16_t& index, int16_t eventNo,
                               int16_t value) = 0;
    // Queues one adjustment command for the radio. Once it has gone out whole, the EEPROM image
    // takes the value's low byte at imageAdr (none when negative); a command that never reached
    // the radio leaves the image as the radio holds it.
    virtual void ConsEv_QueueE8(int16_t command, int16_t value, int32_t imageAdr) = 0;
    // Runs the item's Enter action.
    virtual void ConsEv_Enter(clsConsole& console, int16_t& index, int16_t eventNo,
                              int16_t value) = 0;
    // Milliseconds to wait after the adjustment command the console has just sent.
    virtual void WaitE8Required(int32_t ms) = 0;
};

}  // namespace calvex
