#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "rig/LiveReadings.h"

namespace calvex {

// One completed reading: when (on the transceiver class's clock, RigVelkaProp_ClockMs), which,
// the raw byte and its value in the reading's unit (none for a temperature that cannot be
// converted).
struct ReadingSample {
    int64_t ms = 0;
    Reading reading = Reading::Vin;
    int16_t raw = 0;
    std::optional<double> value;
};

// The readings of the last minutes, oldest first, for a chart over time. Bounded twice: by age
// (samples older than keepMs before the newest time seen are dropped) and by count (the oldest
// goes when the ring is full), so a burst of readings cannot grow it without end.
class ReadingsHistory {
  public:
    static constexpr int64_t kKeepMs = 5 * 60 * 1000;
    // Five minutes of readings one after the other as fast as the line answers them (live
    // readings chain each request to the last answer: some 40 a second on a cable at 9600
    // baud, more on a fast virtual line), with room to spare; about 1 MB when full.
    static constexpr std::size_t kMaxSamples = 32768;

    explicit ReadingsHistory(std::size_t maxSamples = kMaxSamples, int64_t keepMs = kKeepMs);

    void Add(const ReadingSample& sample);
    // Drops the samples older than keepMs before nowMs (run as time passes without readings).
    void DropOlderThanKeep(int64_t nowMs);
    void Clear();

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Sample i, 0 the oldest.
    const ReadingSample& operator[](std::size_t i) const;
    // Changes whenever samples are added or cleared, so a chart knows to redraw.
    uint64_t Serial() const { return serial_; }

  private:
    void DropOldest();

    std::size_t maxSamples_;
    int64_t keepMs_;
    // Grows up to maxSamples_ as samples come, then wraps; head_ is the oldest sample.
    std::vector<ReadingSample> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    uint64_t serial_ = 0;
};

}  // namespace calvex
