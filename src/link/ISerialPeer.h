#pragma once

#include <cstdint>
#include <string>

namespace calvex {

// The far end of an in-process serial line: a simulated or scripted transceiver. The loopback
// serial control hands it what the program sends and collects what it answers.
class ISerialPeer {
  public:
    virtual ~ISerialPeer() = default;
    // Bytes the program wrote, at the rate the program's port is set to.
    virtual void fromComputer(const std::string& bytes, int32_t baud) = 0;
    // Bytes that have reached the program's side of the line by now (echo included).
    virtual std::string toComputer() = 0;
};

}  // namespace calvex
