#pragma once

#include <cstdint>

#include "link/ITickSource.h"

namespace calvex {

// The tick source's millisecond count carried on past its wrap as a 64-bit count, so that ages
// and the times of a chart never jump. Read at least once every few weeks (the task reads it
// every tick); a count that goes back is taken as no time passed.
class WideTickClock {
  public:
    explicit WideTickClock(ITickSource& source) : source_(source) {}

    // Reads the source; the count starts at the source's count on the first read.
    int64_t Now() {
        const int32_t raw = source_.now();
        if (!started_) {
            started_ = true;
            ms_ = raw;
        } else {
            const auto step =
                static_cast<int32_t>(static_cast<uint32_t>(raw) - static_cast<uint32_t>(lastRaw_));
            if (step > 0) ms_ += step;
        }
        lastRaw_ = raw;
        return ms_;
    }
    // The count at the last read.
    int64_t Last() const { return ms_; }

  private:
    ITickSource& source_;
    bool started_ = false;
    int32_t lastRaw_ = 0;
    int64_t ms_ = 0;
};

}  // namespace calvex
