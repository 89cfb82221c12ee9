#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/ISerialPeer.h"
#include "link/ITickSource.h"
#include "model/Transceiver.h"

namespace velka {

// Joins the simulated radio to the program's in-process loopback line, on the program's own
// tick source (a fake one in tests). The wrapping 32-bit tick is unwrapped into the radio's
// millisecond clock, which starts at 0 on first use.
class TransceiverPeer : public calvex::ISerialPeer {
  public:
    TransceiverPeer(Transceiver& radio, calvex::ITickSource& ticks)
        : radio_(radio), ticks_(ticks) {}

    void fromComputer(const std::string& bytes, int32_t baud) override;
    std::string toComputer() override;

    // The radio's clock now.
    int64_t nowMs();
    Transceiver& radio() { return radio_; }

  private:
    Transceiver& radio_;
    calvex::ITickSource& ticks_;
    std::optional<int32_t> lastTick_;
    int64_t elapsedMs_ = 0;
};

}  // namespace velka
