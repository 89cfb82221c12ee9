#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velka {

// Misbehaviours the simulated radio can be told to show, for tests and demonstrations.
enum class Fault {
    Silent,         // hears everything, answers nothing (the cable still echoes)
    NoEcho,         // the cable does not echo the computer's bytes
    WrongModel,     // identifies as another model and only answers that model's code
    Byte43,         // identification byte 43 is not 05
    SubCode,        // identifies with sub code 01 01
    BadChecksum,    // one clone read block carries a wrong checksum
    CountMismatch,  // the closing E5 count is one more than the blocks sent
    OutsideImage,   // an extra clone read block lies beyond the image
    WriteFail,      // a clone write ends with E6 01
    Slow,           // every answer starts 1500 ms after the request
    BadReading,     // reading answers of the wrong length, identity or digits
    DropBytes,      // now and then a byte of an answer is lost
    Hangup,         // the line is cut in the middle of a clone read
};

// The option name of a fault ("bad-checksum") and back.
std::string faultName(Fault f);
std::optional<Fault> faultFromName(const std::string& name);
std::vector<Fault> allFaults();

}  // namespace velka
