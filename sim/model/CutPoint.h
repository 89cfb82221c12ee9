#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velka {

// Points of an exchange at which an armed line cut (Transceiver::cutAt) drops the line. Every
// cut that a frame of the computer's sets off happens on hearing that frame, before the radio
// acts on it: no answer to it goes out and the EEPROM image is as before it.
enum class CutPoint {
    Identify,    // an E0 identification request
    RateSwitch,  // E8 command 01 (the switch to 38400)
    Read,        // a clone read, after 52 of its 104 E4 blocks have gone out
    Preamble,    // the first FE heard after a clone read's E5 went out, before any other frame
    Adjust,      // an E8 command that writes the EEPROM: 04..0D, 11..13, 14..3B
    Reading,     // E8 command 03 (a reading)
    Procedure,   // E8 command 14..3B (oscillator table) or 0C/0D (band-pass filter tuning)
    Write,       // a clone write, on hearing its 53rd E4 block (52 have been taken)
};

// The option name of a cut point ("rate-switch") and back.
std::string cutPointName(CutPoint p);
std::optional<CutPoint> cutPointFromName(const std::string& name);
std::vector<CutPoint> allCutPoints();

}  // namespace velka
