#pragma once

#include <cstdint>

#include "link/ITickSource.h"

namespace calvex {

// One-shot millisecond count-down; a reading below 1 means expired. It survives the wrap of
// the tick count from the top of the positive range into the negative range.
class clsCmcTick {
  public:
    explicit clsCmcTick(ITickSource& source = systemTickSource()) : source_(source) {}

    // Starts a new count-down of ms milliseconds from now, replacing any running one.
    void counter(int32_t ms);
    // Milliseconds remaining; 0 once expired or invalid, and every later read until restarted.
    int32_t counter();

  private:
    ITickSource& source_;
    int32_t tickStart_ = 0;
    int32_t tickPeriod_ = 0;
    bool tickRunning_ = false;
};

}  // namespace calvex
