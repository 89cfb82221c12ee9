#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calvex {

// A byte a procedure may change by trying values, with the adjustment command that writes it
// and its value from before the procedure.
struct TrialByte {
    int32_t adr;
    int16_t command;
    int16_t original;
};

// A stopped procedure's trial values put back into the radio, as one operation of the
// transceiver task: each byte the procedure changed goes back out with its value from before,
// one a step while the line is idle, and once the radio has taken the last the operation ends.
class PutBackOperation {
  public:
    enum class State {
        Sending,  // a byte is on its way, or the next one is due
        Ended,    // the radio has taken every byte
    };

    // procedure: the name the technician knows it by ("TXF", "BPF").
    PutBackOperation(std::string procedure, std::vector<TrialByte> bytes);

    State state() const { return state_; }
    const std::string& procedure() const { return procedure_; }
    // More bytes of a procedure stopped meanwhile; the name becomes its own.
    void Add(std::string procedure, const std::vector<TrialByte>& more);
    // One step, with the line idle, so that the byte sent last has been taken (a failure would
    // have reset the task instead): the next byte to send, or none once the radio has taken
    // every one (the operation has then ended).
    std::optional<TrialByte> Step();
    // Addresses that may still hold trial values: the bytes not yet taken by the radio.
    std::vector<int32_t> Unconfirmed() const;

  private:
    std::string procedure_;
    std::vector<TrialByte> bytes_;
    std::size_t sent_ = 0;
    std::size_t confirmed_ = 0;
    State state_ = State::Sending;
};

}  // namespace calvex
